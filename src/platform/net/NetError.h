#pragma once
// A failure of the network layer as the layers above see it: the system's
// code and its own words for it, so that the operator reads why.

#include <QString>
#include <optional>

struct NetError {
    /// The system's error number, or the resolver's code for a failed lookup.
    int code = 0;
    QString text;

    bool operator==(const NetError&) const = default;
};

/// Nothing when it worked, else why not.
using NetResult = std::optional<NetError>;

/// The failure for a system error number, with the system's text for it.
NetError NetErrorOf(int code);

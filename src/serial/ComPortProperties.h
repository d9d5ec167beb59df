#pragma once
// The published values of a TComPort as a stored window description holds
// them: in published order, each as "Name" = value in the component model's
// text form (identifiers for enumerations, True/False, quoted strings, sets
// in brackets). Values equal to their declared defaults are left out where
// the component declares a default; handlers are code and never stored.

#include <string>
#include <vector>

class TCustomComPort;

struct TPublishedValue {
    std::string Name;
    std::string Value;
    bool operator==(const TPublishedValue&) const = default;
};

/// The published property names of TComPort, in order (handlers included).
const std::vector<std::string>& PublishedPropertyNames();

/// The values a stored description of this port contains.
std::vector<TPublishedValue> StoredPublishedValues(const TCustomComPort& port);

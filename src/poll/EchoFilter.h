#pragma once
// Takes the master's own request out of what comes back on a line that
// echoes it (a two-wire RS-485 adapter whose receiver hears its own
// transmitter), so that the reply behind it is assembled as on any other line.
//
// A line is found to echo on a read: bytes that begin with exactly the eight
// bytes of a read request cannot be its reply, whose third byte is the byte
// count. A write's reply equals its request, so after a write the same eight
// bytes come twice on an echoing line and once on any other; the first eight
// are taken for an echo only while the line is known to echo. On a line not
// known to echo they are the reply, and if the same eight bytes follow them,
// the line echoes after all and the later copy is taken out (the record then
// names that copy the echo; the bytes are the same). A read answered soundly
// without an echo shows that the line no longer echoes. Bytes that begin like
// the request but differ before its end (part of an echo, garbage) are left
// as they are and judged like any reply.

#include "modbus/RtuFrame.h"

#include <cstdint>

class EchoFilter {
public:
    enum class Outcome {
        Pending, ///< the bytes so far are the request's first ones: wait for more
        Passed,  ///< nothing to take out (any more) for this request
        Dropped, ///< the echo was taken out of the front of the buffer
        Found,   ///< the same, and the line was not known to echo until now
        /// Found from a write's reply coming twice: its later copy was taken
        /// out, and nothing else came besides the reply taken before.
        FoundAfterReply,
    };

    /// Start: nothing is known about the line.
    void Reset();
    /// A request went out; what comes back is looked at afresh.
    void RequestSent(const TTxFrame& request);
    /// Looks at the first rxCount bytes of the reply buffer and takes an echo
    /// out of its front (rxCount shrinks by the request's size).
    Outcome Filter(TRxFrame& rxFrame, int& rxCount);
    /// The request got a sound reply.
    void ReplyAccepted();

    bool LineEchoes() const { return m_lineEchoes; }

private:
    Outcome filterRepeat(TRxFrame& rxFrame, int& rxCount);
    Outcome echoTakenOut(TRxFrame& rxFrame, int& rxCount, int at);

    TTxFrame m_request{};
    bool m_decided = true;
    bool m_echoed = false; // this request's echo was taken out
    // A write's reply was taken; the same bytes once more would be the echo.
    bool m_watchRepeat = false;
    bool m_lineEchoes = false;
};

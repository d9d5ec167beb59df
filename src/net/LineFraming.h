#pragma once
// How the engine's RTU frames go over a TCP connection, and how what comes
// back is cut into replies: one framing for Modbus TCP, one for RTU over
// TCP. A framing holds no more than one frame of received bytes, whatever
// the peer sends.

#include "poll/TrafficEvent.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Where a framing puts what it found in the received bytes.
class FramingSink {
public:
    virtual ~FramingSink() = default;
    /// Bytes of the reply to the request on the line, in RTU form.
    virtual void ReplyBytes(const std::uint8_t* bytes, std::size_t count) = 0;
    /// A whole frame that answers no request on the line, as it came.
    virtual void FrameDropped(const std::uint8_t* bytes, std::size_t count,
                              TrafficVerdict verdict) = 0;
};

class LineFraming {
public:
    virtual ~LineFraming() = default;

    /// A new connection: nothing received, no request waiting.
    virtual void Reset() = 0;
    /// The request as the next Encode sends it; empty when that is the frame itself.
    virtual std::vector<std::uint8_t> WireRequest(const std::uint8_t* frame,
                                                  std::size_t count) const = 0;
    /// The request as it goes out now; it is then the one a reply answers.
    virtual std::vector<std::uint8_t> Encode(const std::uint8_t* frame, std::size_t count) = 0;
    /// Cuts received bytes into replies and dropped frames. Returns why the
    /// connection cannot be trusted any more (garbage), or nothing.
    virtual std::optional<QString> Take(const std::uint8_t* bytes, std::size_t count,
                                        FramingSink& sink) = 0;
    /// The reply last handed over, as it came, if these RTU bytes are it;
    /// empty otherwise (and always when the frames go as they are).
    virtual std::vector<std::uint8_t> WireReply(const std::uint8_t* frame,
                                                std::size_t count) const = 0;
    /// Whether bytes left over from an earlier exchange are dropped before
    /// each request, since nothing in them says which request they answer.
    virtual bool DropsLeftovers() const = 0;
};

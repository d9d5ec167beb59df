#pragma once

#include "poll/TrafficEvent.h"
#include "serial/ComTypes.h"

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Why the line refused something: one value from where it happened to where
// the operator reads it.
struct PortError {
    enum class Kind {
        Refused,        ///< the device or the system refused (an opening, a write)
        LineLost,       ///< the line went away under the open port (an adapter pulled out)
        AdapterChanged, ///< the port's name now leads to another adapter than before
    };
    Kind kind = Kind::Refused;
    /// For the operator: what happened and, where known, what to do.
    QString text;

    bool operator==(const PortError&) const = default;
};

/// Nothing when it worked, else why not.
using PortResult = std::optional<PortError>;

// What a read took: the bytes, or why the line gave none.
struct PortRead {
    int count = 0;
    PortResult error;
};

// A piece of the bytes of a received-characters event: it ends `end` bytes
// into them, and its last byte arrived at `time` (on the monotonic clock, as
// seen by the thread that receives them).
struct RxPiece {
    int end = 0;
    std::chrono::steady_clock::time_point time;
};

// A change of the line itself, told apart from the bytes on it.
struct LineChange {
    enum class Kind {
        Lost,  ///< the line went away; text: why
        Back,  ///< it was opened again; text: for the operator
        Moved, ///< the adapter was found under a new name; text: which
    };
    Kind kind = Kind::Lost;
    QString text;
};

// The line the poll engine talks over, and nothing more: a serial port today,
// a network connection next. The window and the runners hand the engine a
// serial port through ComPortAdapter; tests hand it fakes.
class PollPort {
public:
    virtual ~PollPort() = default;

    virtual bool Connected() const = 0;
    virtual PortResult Open() = 0;
    virtual PortResult Close() = 0;
    /// The line's name as the operator chose it (a port such as ttyUSB0).
    virtual QString Port() const = 0;
    virtual TBaudRate BaudRate() const = 0;

    /// Sends count bytes.
    virtual PortResult Write(const std::uint8_t* bytes, int count) = 0;
    /// Returns at once with up to count bytes of what is waiting.
    virtual PortRead Read(std::uint8_t* buffer, int count) = 0;
    /// How many bytes wait to be read without their received-characters
    /// event having come round yet.
    virtual int PendingInput() const { return 0; }
    /// The reply to the request about to be sent is complete after count
    /// bytes: the port may then announce them in one received-characters
    /// event. Bytes that come otherwise are announced all the same.
    virtual void ExpectReply(int count) { static_cast<void>(count); }

    /// Sets the line's rate while it is open (the scan tries one after the
    /// other). A line without a rate of its own refuses.
    virtual PortResult SetLineRate(TBaudRate rate) {
        static_cast<void>(rate);
        return PortError{
            PortError::Kind::Refused,
            QCoreApplication::translate("PollPort", "This line has no rate of its own.")};
    }

    // The received-characters event, called on the main thread with the number of
    // bytes waiting. Only one handler is kept.
    virtual void SetOnRxChar(std::function<void(int count)> handler) = 0;

    // When the last of the bytes announced by the latest received-characters
    // event had arrived, on the monotonic clock, as seen by the thread that
    // receives them (not when the main thread got round to the event).
    virtual std::chrono::steady_clock::time_point LastRxTime() const = 0;

    // The bytes of the latest received-characters event piece by piece, as
    // they came in; empty when the line cannot tell (all then arrived at
    // LastRxTime). A listener finds the frames in a delivery by them.
    virtual std::vector<RxPiece> LastRxPieces() const { return {}; }

    // Listening only, from the next opening on: the line sends nothing and
    // drives no output line while it is open. A line that cannot promise
    // that refuses.
    virtual PortResult SetListenOnly(bool listenOnly) {
        if (!listenOnly) {
            return std::nullopt;
        }
        return PortError{PortError::Kind::Refused,
                         QCoreApplication::translate(
                             "PollPort", "This line cannot be opened for listening only.")};
    }

    // How long the line's adapter may hold received bytes before handing
    // them on (a USB adapter's latency timer), when it tells; known once open.
    virtual std::optional<std::chrono::milliseconds> ReceiveLatency() const { return std::nullopt; }

    // Whether the port, once its line went away, may be opened again by the
    // same name and find the same line.
    virtual bool CanReopen() const { return true; }

    // Changes of the line, on the main thread. Only one handler is kept; a
    // port that never changes its line need not keep it.
    virtual void SetOnLineChange(std::function<void(const LineChange& change)> handler) {
        static_cast<void>(handler);
    }

    // The engine speaks RTU frames (address, PDU, CRC). A line that carries
    // them in another form (Modbus TCP, with its own header and no CRC)
    // gives here the frame as it goes over the line, for the traffic lines
    // and the record: for a request (sent) the form the next Write sends it
    // in, for received bytes the form they came in. A line that carries the
    // frames as they are gives nothing.
    virtual std::vector<std::uint8_t> WireForm(const std::uint8_t* frame, std::size_t count,
                                               bool sent) const {
        static_cast<void>(frame);
        static_cast<void>(count);
        static_cast<void>(sent);
        return {};
    }

    // A frame the line received and dropped itself, never handed over as
    // reply bytes (a reply to an earlier request, told by its transaction
    // id): its bytes as they came, the verdict to record it with, and when
    // it came. On the main thread; only one handler is kept.
    using DroppedFrameHandler =
        std::function<void(const std::uint8_t* bytes, std::size_t count, TrafficVerdict verdict,
                           std::chrono::steady_clock::time_point time)>;
    virtual void SetOnDroppedFrame(DroppedFrameHandler handler) { static_cast<void>(handler); }
};

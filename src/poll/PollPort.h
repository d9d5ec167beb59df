#pragma once

#include "serial/ComTypes.h"

#include <QString>
#include <chrono>
#include <functional>
#include <stdexcept>

// Raised by WriteData and ReadData when the line has gone away under the open
// port (a USB adapter pulled out); the text says so to the operator.
class LineLostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by SetConnected(true) when the port's name now leads to another
// adapter than the one it was used with; the text names both.
class AdapterRefusedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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

// What the poll cycle needs of the serial port and nothing more. TForm1 and the
// headless runner hand it the real port through ComPortAdapter; tests hand it fakes.
class PollPort {
public:
    virtual ~PollPort() = default;

    virtual bool Connected() const = 0;
    // Opening may throw; the exception's text is shown to the operator.
    virtual void SetConnected(bool connected) = 0;
    virtual QString Port() const = 0;
    virtual TBaudRate BaudRate() const = 0;

    // Sends count bytes; throws when the device refuses them.
    virtual void WriteData(const void* buffer, int count) = 0;
    // Returns at once with up to count bytes of what is waiting.
    virtual int ReadData(void* buffer, int count) = 0;
    // The reply to the request about to be sent is complete after count
    // bytes: the port may then announce them in one received-characters
    // event. Bytes that come otherwise are announced all the same.
    virtual void ExpectReply(int count) { static_cast<void>(count); }

    // The received-characters event, called on the main thread with the number of
    // bytes waiting. Only one handler is kept.
    virtual void SetOnRxChar(std::function<void(int count)> handler) = 0;

    // When the last of the bytes announced by the latest received-characters
    // event had arrived, on the monotonic clock, as seen by the thread that
    // receives them (not when the main thread got round to the event).
    virtual std::chrono::steady_clock::time_point LastRxTime() const = 0;

    // Whether the port, once its line went away, may be opened again by the
    // same name and find the same line.
    virtual bool CanReopen() const { return true; }

    // Changes of the line, on the main thread. Only one handler is kept; a
    // port that never changes its line need not keep it.
    virtual void SetOnLineChange(std::function<void(const LineChange& change)> handler) {
        static_cast<void>(handler);
    }
};

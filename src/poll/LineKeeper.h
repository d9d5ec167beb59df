#pragma once
// Keeps the poll engine's line through a re-plug. When the line goes away
// under the open port (a write or a read fails with a LineLost error), the dead
// device is let go and, unless the port says its name cannot lead back to
// the same line, the same port is opened again about once a second,
// on the main thread's timer, until it opens; the port's settings are pushed
// again by the opening itself. Meanwhile the keeper still counts as
// connected, so the engine polls on: each request fails with the reason and
// is counted as missed, as before the line went away.
//
//     ComPortAdapter adapter(comPort);
//     LineKeeper line(adapter);
//     PollCycle cycle(line, view);   // tells the view when the line is back
//
// Closing (the engine's stopping tick, the window closing) ends the attempts
// at once. An attempt is one non-blocking open, so it never holds up the
// window or the runner.

#include "platform/system/Timer.h"
#include "poll/ForwardingLine.h"

#include <QCoreApplication>
#include <chrono>

class LineKeeper : public ForwardingLine {
    Q_DECLARE_TR_FUNCTIONS(LineKeeper)

public:
    static constexpr std::chrono::milliseconds RetryInterval{1000};

    explicit LineKeeper(PollPort& line);
    ~LineKeeper() override;
    LineKeeper(const LineKeeper&) = delete;
    LineKeeper& operator=(const LineKeeper&) = delete;

    /// Open, or lost and being opened again.
    bool Connected() const override;
    PortResult Open() override;
    /// Also stops looking for a lost line.
    PortResult Close() override;
    /// While the line is lost, fails with the reason and sends nothing.
    PortResult Write(const std::uint8_t* bytes, int count) override;
    /// While the line is lost, nothing is waiting.
    PortRead Read(std::uint8_t* buffer, int count) override;
    int PendingInput() const override;
    void ExpectReply(int count) override;
    PortResult SetLineRate(TBaudRate rate) override;
    void SetOnLineChange(std::function<void(const LineChange& change)> handler) override;

    /// Whether the line is lost and being opened again.
    bool Lost() const { return m_lost; }

    /// What requests are refused with while a line that went away for the
    /// reason given is opened again every second. A line that keeps itself
    /// (a network connection) tells its losses in the same words.
    static QString LostText(const QString& reason);
    /// The note when a line is back after being away for the time given.
    static QString BackText(std::chrono::steady_clock::duration away);

private:
    void lose(const QString& reason);
    PortError lostError() const;
    void retry();
    void lineChanged(const LineChange& change);
    void tell(LineChange::Kind kind, const QString& text);

    PollPort& m_line;
    Timer m_retry;
    std::function<void(const LineChange& change)> m_onLineChange;
    bool m_lost = false;
    bool m_retrying = false;
    QString m_lostReason; // why the line was lost
    QString m_reason;     // what a request is refused with while the line is lost
    QString m_renamed;    // the adapter's new name, found by the attempt under way
    std::chrono::steady_clock::time_point m_lostAt;
};

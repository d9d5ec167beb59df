#pragma once
// A millisecond timer on the GUI thread with the semantics the windows rely on:
// assigning a different interval restarts the countdown, assigning the same
// interval leaves it running, a disabled timer or an interval of 0 never ticks,
// and nothing ticks while no OnTimer handler is assigned.
//
// A countdown may also count from a moment already past (the end of a reply
// seen by the port's thread): its first tick then comes that much sooner, to
// the microsecond, rather than a whole interval after the handler got round
// to it.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);
    ~Timer() override;

    int Interval() const { return m_interval; }
    void SetInterval(int milliseconds);
    /// The same, but a countdown the new interval restarts counts from
    /// `start` instead of from now; a start not yet come counts from now.
    void SetInterval(int milliseconds, std::chrono::steady_clock::time_point start);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    /// The tick handler; assigning it (or clearing it) re-arms the timer.
    void SetOnTimer(std::function<void()> handler);
    bool HasOnTimer() const { return static_cast<bool>(m_onTimer); }

    /// True while the underlying countdown is armed.
    bool IsArmed() const;

private:
    class FirstTick;

    void rearm();
    void tick();
    void firstTickDue();

    QTimer m_timer;
    // The first tick of a countdown that counts from a moment past.
    std::unique_ptr<FirstTick> m_firstTick;
    std::optional<std::chrono::steady_clock::time_point> m_countFrom;
    int m_interval = 1000;
    bool m_enabled = true;
    std::function<void()> m_onTimer;
};

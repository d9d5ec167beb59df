#pragma once
// A millisecond timer on the GUI thread with the semantics the windows rely on:
// assigning a different interval restarts the countdown, assigning the same
// interval leaves it running, a disabled timer or an interval of 0 never ticks,
// and nothing ticks while no OnTimer handler is assigned.

#include <QObject>
#include <QTimer>
#include <functional>

class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);

    int Interval() const { return m_interval; }
    void SetInterval(int milliseconds);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    /// The tick handler; assigning it (or clearing it) re-arms the timer.
    void SetOnTimer(std::function<void()> handler);
    bool HasOnTimer() const { return static_cast<bool>(m_onTimer); }

    /// True while the underlying countdown is armed.
    bool IsArmed() const { return m_timer.isActive(); }

private:
    void rearm();
    void tick();

    QTimer m_timer;
    int m_interval = 1000;
    bool m_enabled = true;
    std::function<void()> m_onTimer;
};

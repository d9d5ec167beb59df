#pragma once
// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so that a
// command-line run can end cleanly instead of dying mid-frame. On Windows the
// console's control events stand in for them: Ctrl+C and Ctrl+Break come as
// SIGINT, the console closing, a log-off and a shutdown as SIGTERM.

#include <QObject>
#include <memory>

class QSocketNotifier;

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    /// Installs the handlers; only one watcher may exist at a time.
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void interrupted(int signalNumber);

private:
    void readSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

#pragma once
// What the traffic monitor's context menu offers: copy, select all, find,
// save as, clear, starting and stopping a recording of the traffic, and the
// link statistics. It works the poll session's recorder and shows its
// statistics, and owns the dialogs; the window hands it the ways to tell the
// operator something and to name the recording in the status bar.

#include "record/LinkStatistics.h"
#include "record/TrafficRecorder.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

class FindDialog;
class QAction;
class QMenu;
class QWidget;
class StatisticsDialog;
class TrafficMonitor;

class MonitorCommands : public QObject {
    Q_OBJECT
public:
    /// What the commands need of the main window.
    struct WindowHooks {
        /// A message to the operator (a message box in the window).
        std::function<void(const QString& text)> showMessage;
        /// What the status bar says about the recording; empty when nothing.
        std::function<void(const QString& note)> setRecordingNote;
    };

    MonitorCommands(TrafficMonitor& monitor, TrafficRecorder& recorder,
                    const LinkStatistics& statistics, QWidget& window, WindowHooks hooks);
    ~MonitorCommands() override;

    /// The context menu as it stands now (the recording command follows the
    /// recording's state). The caller owns it.
    QMenu* CreateMenu(QWidget* parent);

    /// Starts recording into path; returns an empty text or why it cannot.
    QString StartRecording(const QString& path);
    /// Tells the operator that a recording could not start, and why.
    void TellRecordingRefused(const QString& reason);
    void StopRecording();
    void SetRecordLimitMegabytes(int megabytes);

    /// The menu's commands that ask for a file name or open a dialog.
    void ChooseRecordingFile();
    void SaveMonitorAs();
    void OpenFind();
    void OpenStatistics();

    TrafficRecorder& Recorder() { return m_recorder; }
    const LinkStatistics& Statistics() const { return m_statistics; }
    FindDialog* Finder() const { return m_find; }
    StatisticsDialog* StatisticsWindow() const { return m_statisticsDialog; }

private:
    void recordingFailed(const QString& reason);

    TrafficMonitor& m_monitor;
    QWidget& m_window;
    WindowHooks m_hooks;
    TrafficRecorder& m_recorder;
    const LinkStatistics& m_statistics;
    FindDialog* m_find = nullptr;
    StatisticsDialog* m_statisticsDialog = nullptr;
    QAction* m_findShortcut = nullptr;
};

#include "ui/monitor/MonitorCommands.h"

#include "ui/common/FileChoice.h"
#include "ui/monitor/FindDialog.h"
#include "ui/monitor/StatisticsDialog.h"
#include "ui/monitor/TrafficMonitor.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTimer>

MonitorCommands::MonitorCommands(TrafficMonitor& monitor, TrafficRecorder& recorder,
                                 const LinkStatistics& statistics, QWidget& window,
                                 WindowHooks hooks)
    : m_monitor(monitor), m_window(window), m_hooks(std::move(hooks)), m_recorder(recorder),
      m_statistics(statistics) {
    m_recorder.SetOnFailure([this](const QString& reason) { recordingFailed(reason); });
    m_find = new FindDialog(m_monitor, &m_window);
    m_statisticsDialog = new StatisticsDialog(m_statistics, &m_window);
    // Ctrl+F anywhere in the window: the monitor is all there is to search.
    m_findShortcut = new QAction(tr("查找…"), &m_window);
    m_findShortcut->setShortcut(QKeySequence::Find);
    m_findShortcut->setShortcutContext(Qt::WindowShortcut);
    connect(m_findShortcut, &QAction::triggered, this, &MonitorCommands::OpenFind);
    m_window.addAction(m_findShortcut);
}

MonitorCommands::~MonitorCommands() {
    m_recorder.SetOnFailure(nullptr);
}

QMenu* MonitorCommands::CreateMenu(QWidget* parent) {
    m_monitor.Flush();
    auto* menu = new QMenu(parent);
    QAction* copy = menu->addAction(tr("复制"), &m_monitor, &TrafficMonitor::copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(m_monitor.textCursor().hasSelection());
    menu->addAction(tr("全选"), &m_monitor, &TrafficMonitor::selectAll)
        ->setShortcut(QKeySequence::SelectAll);
    menu->addSeparator();
    menu->addAction(m_findShortcut);
    menu->addAction(tr("另存为…"), this, &MonitorCommands::SaveMonitorAs);
    menu->addAction(tr("清除"), &m_monitor, &TrafficMonitor::ClearLines);
    menu->addSeparator();
    if (m_recorder.Recording()) {
        menu->addAction(tr("停止记录"), this, &MonitorCommands::StopRecording);
    } else {
        menu->addAction(tr("开始记录…"), this, &MonitorCommands::ChooseRecordingFile);
    }
    menu->addAction(tr("统计…"), this, &MonitorCommands::OpenStatistics);
    return menu;
}

QString MonitorCommands::StartRecording(const QString& path) {
    const QString error = m_recorder.Start(path);
    m_hooks.setRecordingNote(error.isEmpty() ? tr("记录：%1").arg(QDir::toNativeSeparators(path))
                                             : QString());
    return error;
}

void MonitorCommands::StopRecording() {
    m_recorder.Stop();
    m_hooks.setRecordingNote(QString());
}

void MonitorCommands::SetRecordLimitMegabytes(int megabytes) {
    m_recorder.SetLimitBytes(std::int64_t{megabytes} * TrafficRecorder::BytesPerMegabyte);
}

void MonitorCommands::ChooseRecordingFile() {
    const QString path =
        AskSaveFileName(&m_window, tr("开始记录"), tr("CSV 文件 (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty()) {
        return;
    }
    if (const QString error = StartRecording(path); !error.isEmpty()) {
        TellRecordingRefused(error);
    }
}

void MonitorCommands::TellRecordingRefused(const QString& reason) {
    m_hooks.showMessage(tr("无法创建记录文件。") + QLatin1Char('\n') + reason);
}

void MonitorCommands::SaveMonitorAs() {
    m_monitor.Flush();
    const QString path =
        AskSaveFileName(&m_window, tr("另存为"), tr("文本文件 (*.txt)"), QStringLiteral("txt"));
    if (path.isEmpty()) {
        return;
    }
    if (const int error = m_monitor.SaveText(path); error != 0) {
        m_hooks.showMessage(tr("无法保存文件。") + QLatin1Char('\n') +
                            RecordingFailureText(path, error));
    }
}

void MonitorCommands::OpenFind() {
    m_find->Open();
}

void MonitorCommands::OpenStatistics() {
    m_statisticsDialog->show();
    m_statisticsDialog->raise();
    m_statisticsDialog->activateWindow();
}

void MonitorCommands::recordingFailed(const QString& reason) {
    // Told once: the status bar keeps saying so, one message explains it, and
    // polling goes on without the recording. The failure may be met inside
    // the engine's own handlers, so the message waits for the event loop
    // instead of running one of its own in the middle of them.
    m_hooks.setRecordingNote(tr("记录已停止：%1").arg(reason));
    QTimer::singleShot(0, this, [this, reason] {
        m_hooks.showMessage(tr("无法写入记录文件，记录已停止。") + QLatin1Char('\n') + reason);
    });
}

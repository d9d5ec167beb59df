#pragma once
// The main window: the slave address, Start, Stop and the port settings, the
// register table, the two read-outs and the relay lamp, the traffic monitor
// and the status bar with the counters. It owns the serial port and the poll
// engine and is the engine's view.

#include "net/NetworkLineStore.h"
#include "platform/drawing/FramePacer.h"
#include "poll/PollCycle.h"
#include "poll/PollView.h"
#include "serial/ComPort.h"
#include "session/PollSession.h"
#include "ui/functest/ProductionTestWindow.h"
#include "ui/main/RegisterMap.h"
#include "ui/monitor/TrafficMonitor.h"
#include "widgets/grid/StringGrid.h"

#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class ListenChoice;
class LineSwitch;
class MonitorCommands;
class QMenu;
class StatusBar;
class TForm2;
class TrendHistory;
class TrendWindow;
class TFramedStringGrid;
class TiIntegerOutput;
class TiLabel;
class TiLedRectangle;
class TiSevenSegmentAnalog;
class TskButton;

/// Where the port settings are kept.
inline const std::string SettingsKey = "HKEY_LOCAL_MACHINE\\Software\\KESTRO_MODBUS_M";

// The status bar's panels that the engine's state shows in.
inline constexpr int PanelTxCount = 1;
inline constexpr int PanelErCount = 3;
inline constexpr int PanelPort = 4;

class TForm1 : public QWidget, public PollView, private RegisterDisplay {
    Q_OBJECT
public:
    /// Shows a message to the operator: caption and text. The window's default
    /// opens a modal message box; tests put their own in.
    using MessageSink = std::function<void(const QString& caption, const QString& text)>;

    /// While polling, the values, read-outs and counters are shown at most
    /// once in this time (about seven times a second): more than the eye can
    /// read, and at 9600 baud a frame every other poll.
    static constexpr std::chrono::milliseconds PolledFrameGap{150};

    /// Lays the window out from its design data and runs FormCreate.
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, by their design names.
    TiLabel* ilbl1 = nullptr;
    TiIntegerOutput* intgrtpt1 = nullptr;
    TskButton* skButton1 = nullptr;
    TskButton* skButton2 = nullptr;
    TskButton* skButton3 = nullptr;
    TiLabel* ilbl6 = nullptr;
    TiLedRectangle* iLedRectangle1 = nullptr;
    TiLabel* ilbl2 = nullptr;
    TiSevenSegmentAnalog* iSevenSegmentAnalog1 = nullptr;
    TiLabel* ilbl3 = nullptr;
    TiSevenSegmentAnalog* iSevenSegmentAnalog2 = nullptr;
    TiLabel* ilbl5 = nullptr;
    TFramedStringGrid* sg1 = nullptr;
    TiLabel* ilbl4 = nullptr;
    TrafficMonitor* mm1 = nullptr;
    StatusBar* stat1 = nullptr;
    TComPort ComPort;

    /// The poll engine (the poll state, the timer tmr1 and the write mailbox).
    PollCycle& Cycle() { return m_session->Engine(); }
    const PollCycle& Cycle() const { return m_session->Engine(); }
    /// The line, the engine and what follows it: recording, statistics, trend.
    PollSession& Session() { return *m_session; }

    // The write mailbox, as the write dialog uses it.
    WriteMode Mailbox() const;
    int WriteValue() const;
    /// Queues a write of value to the register of the table's current cell.
    /// Nothing is queued when the current cell holds no register value.
    void RequestWrite(int value);

    /// Whether the window listens to a bus another master polls (the Start
    /// button's context menu), sending nothing.
    bool Listening() const;
    ListenChoice& Listen() { return *m_listenChoice; }

    /// The dialog that a double-click on a value cell opens.
    void SetWriteDialog(TForm2* dialog) { m_writeDialog = dialog; }
    TForm2* WriteDialog() const { return m_writeDialog; }

    void SetMessageSink(MessageSink sink) { m_messageSink = std::move(sink); }

    /// Polls the given port in place of the stored one and leaves the stored
    /// settings as they were when the window closes (the virtual module's port
    /// lives only as long as this run).
    void UseTemporaryPort(const std::string& path);
    /// The same with a network line to a virtual module served as RTU over
    /// TCP, where the system has no pseudo-terminal for it.
    void UseTemporaryNetworkLine(const NetEndpoint& endpoint);
    bool UsesTemporaryPort() const { return m_temporaryPort; }

    /// The line polled from the next Start on: the serial port, or the
    /// network line (chosen from the context menu of the port-settings
    /// button and kept with the port settings).
    const LineChoice& ChosenLine() const { return m_lineChoice; }
    /// Chooses the line; false, and nothing changes, while the line is open
    /// or for a network line without a host.
    bool ChooseLine(const LineChoice& choice);
    /// The port-settings button's context menu: serial port or network line,
    /// and the network line's settings.
    QMenu* CreateLineMenu();
    /// The network line's settings dialog; OK chooses the network line.
    void EditNetworkLine();

    /// The failure met while restoring the stored settings at creation, if any.
    std::optional<QString> RestoreFailure() const { return m_restoreFailure; }

    /// The traffic monitor's context menu and what it offers: the recording
    /// of the traffic, the link statistics, find, save as.
    MonitorCommands& Commands() { return *m_commands; }
    /// Starts recording the traffic into path (as --record does); returns an
    /// empty text, or the file and the reason it cannot be written.
    QString StartRecording(const QString& path);

    /// The history of the output and feedback, fed by every read from the
    /// start, and the trend window that shows it (none until first opened).
    const TrendHistory& Trend() const { return m_session->Trend(); }
    TrendWindow* TrendView() const { return m_trendWindow; }
    /// Opens the trend window (a double-click on a read-out, F5).
    void OpenTrend();

    /// Where the production test takes its plan and puts its records.
    void SetTestFiles(const TestFiles& files) { m_testFiles = files; }
    /// The production test window (none until first opened) and opening it (F6).
    ProductionTestWindow* ProductionTest() const { return m_productionTest; }
    void OpenProductionTest();

    // Handlers.
    void FormCreate();
    void FormClose();
    void skButton1Click();
    void skButton2Click();
    void skButton3Click();
    void tmr1Timer();
    void ComPortRxChar(int count);
    void sg1DrawCell(int column, int row, const QRect& rect, TGridDrawState state);
    void sg1DblClick();
    void intgrtpt1ChangeUser() {}
    void iSevenSegmentAnalog1DblClick() { OpenTrend(); }
    void iSevenSegmentAnalog2DblClick() { OpenTrend(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Design data (Unit1Design.cpp).
    void createControls();
    void loadDesign();
    void applyDesignValues();
    void applyPortDesignValues();

    void showMessage(const QString& text);
    void showPortPanel();
    void setRecordingNote(const QString& note);
    void showMonitorMenu(const QPoint& position);
    void connectLineMenu();
    void showLineMenu(const QPoint& position);
    void restoreLineChoice();
    void storeLineChoice();
    void statusPanelDoubleClicked(int panel);

    // The engine's view of the window.
    void ShowCounters(std::uint64_t requests, std::uint64_t misses) override;
    void ShowRegisters(const RegisterValues& registers) override;
    void ShowPolledPort(const QString& port) override;
    void AppendMonitorLine(const QString& line) override;
    void ClearMonitor() override;
    void ShowOpenFailure(const PortError& error) override;
    void ShowWriteFailure(const std::optional<PortError>& error) override;
    void ShowLineNote(const QString& note) override;
    void BeginFrame(Frame frame) override;
    void EndFrame() override;

    // The table, the lamp and the read-outs that show the registers.
    void SetCellText(int column, int row, const QString& text) override;
    void SetRelayActive(bool active) override;
    void SetReadoutPrecision(Readout readout, int precision) override;
    void SetReadoutValue(Readout readout, double value) override;

    TiSevenSegmentAnalog* readout(Readout which) const;
    void addShortcut(Qt::Key key, void (TForm1::*slot)());
    // What the production test needs of the window.
    bool startPollingForTest(const TestPlan& plan);
    LineRecord polledLine() const;

    std::unique_ptr<PollSession> m_session;
    LineSwitch* m_lines = nullptr; // the session's line
    LineChoice m_lineChoice;
    std::unique_ptr<MonitorCommands> m_commands;
    ListenChoice* m_listenChoice = nullptr;
    // What a request or a reply changes is painted in one frame.
    std::optional<FramePacer::Hold> m_frameHold;
    int m_frameDepth = 0;
    TrendWindow* m_trendWindow = nullptr;
    ProductionTestWindow* m_productionTest = nullptr;
    TestFiles m_testFiles;
    TForm2* m_writeDialog = nullptr;
    MessageSink m_messageSink;
    std::optional<QString> m_restoreFailure;
    // The latest note about the line (back, adapter renamed, echoing), shown
    // after the bar while writes do not fail.
    QString m_lineNote;
    bool m_restoreFailureShown = false;
    bool m_temporaryPort = false;
    // What the port panel shows: the port once Start named it, why writes
    // fail (if they do) and what the recording is doing.
    bool m_portNamed = false;
    QString m_writeFailure;
    QString m_recordingNote;
    bool m_closed = false;
    bool m_placed = false;
};

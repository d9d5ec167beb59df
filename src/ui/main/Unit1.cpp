#include "ui/main/Unit1.h"

#include "net/LineSwitch.h"
#include "net/NetworkLine.h"
#include "platform/drawing/DrawText.h"
#include "platform/drawing/FramePacer.h"
#include "platform/storage/RegistryStore.h"
#include "poll/OpenFailure.h"
#include "trend/TrendHistory.h"
#include "ui/common/WindowDesign.h"
#include "ui/main/ListenChoice.h"
#include "ui/main/StatusBar.h"
#include "ui/main/popwin.h"
#include "ui/monitor/MonitorCommands.h"
#include "ui/monitor/TrafficMonitor.h"
#include "ui/trend/TrendWindow.h"
#include "widgets/grid/FramedStringGrid.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/instrument/iLedRectangle.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {

const QString MessageCaption = QStringLiteral("KESTRO_MODBUS_M");
// Between the port name and anything the port panel says about the line.
const QString PortPanelSeparator = QStringLiteral(" | ");

// A failure to load or store the port settings, with the file they live in,
// so that the operator can look at it or mend its folder.
QString settingsFailureText(const std::exception& error) {
    const QString file = registryRootFile(RegistryRoot::LocalMachine);
    return QString::fromUtf8(error.what()) + QLatin1Char('\n') +
           TForm1::tr("Port settings file: %1").arg(QDir::toNativeSeparators(file));
}

} // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    // The window's first child, so that the controls, which look it up with
    // each change while polling, find it first.
    FramePacer::of(*this).setHeldFrameGap(PolledFrameGap);
    createControls();
    auto lines = std::make_unique<LineSwitch>(std::make_unique<OperatorPortAdapter>(ComPort),
                                              std::make_unique<NetworkLine>(NetworkLineSettings{}));
    m_lines = lines.get();
    m_session = std::make_unique<PollSession>(std::move(lines), *this);
    // The window's own handlers sit between the port, the timer and the engine.
    m_session->Line().SetOnRxChar([this](int count) { ComPortRxChar(count); });
    Cycle().PollTimer().SetOnTimer([this] { tmr1Timer(); });
    m_commands = std::make_unique<MonitorCommands>(
        *mm1, m_session->Recorder(), m_session->Statistics(), *this,
        MonitorCommands::WindowHooks{[this](const QString& text) { showMessage(text); },
                                     [this](const QString& note) { setRecordingNote(note); }});
    loadDesign();
    // F5 anywhere in the window opens the trend, as a double-click on a
    // read-out does; F6 the production test.
    addShortcut(Qt::Key_F5, &TForm1::OpenTrend);
    addShortcut(Qt::Key_F6, &TForm1::OpenProductionTest);
    mm1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(mm1, &TrafficMonitor::customContextMenuRequested, this, &TForm1::showMonitorMenu);
    connect(stat1, &StatusBar::panelDoubleClicked, this, &TForm1::statusPanelDoubleClicked);
    m_listenChoice = new ListenChoice(*this);
    connectLineMenu();
    FormCreate();
}

TForm1::~TForm1() {
    // The port's event thread must not deliver into a half-destroyed window.
    m_session->Line().SetOnRxChar(nullptr);
    // The trend and production test windows and their tests hold on to the
    // engine and the history.
    delete m_trendWindow;
    delete m_productionTest;
    m_commands.reset();
    try {
        ComPort.ClosePort();
    } catch (...) {
        // Nothing can be told to anyone any more.
    }
}

WriteMode TForm1::Mailbox() const {
    return Cycle().Mailbox();
}

int TForm1::WriteValue() const {
    return Cycle().WriteValue();
}

bool TForm1::Listening() const {
    return m_session->Listen().Listening();
}

void TForm1::RequestWrite(int value) {
    // A listener sends nothing, not even a write asked for before it began.
    if (Listening()) {
        return;
    }
    // The register is the one of the cell current now, when the write is
    // asked for; a cell that holds no register value writes nothing.
    const int column = sg1->Col();
    const int row = sg1->Row();
    if (IsValueCell(column, row)) {
        Cycle().RequestWrite(RegisterOfCell(column, row), value);
    }
}

QString TForm1::StartRecording(const QString& path) {
    return m_commands->StartRecording(path);
}

void TForm1::OpenTrend() {
    if (m_trendWindow == nullptr) {
        m_trendWindow = new TrendWindow(m_session->Trend(), Cycle(), this);
    }
    m_trendWindow->show();
    m_trendWindow->raise();
    m_trendWindow->activateWindow();
}

void TForm1::addShortcut(Qt::Key key, void (TForm1::*slot)()) {
    auto* action = new QAction(this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
}

void TForm1::OpenProductionTest() {
    if (m_productionTest == nullptr) {
        m_productionTest = new ProductionTestWindow(
            Cycle(), m_testFiles,
            ProductionTestWindow::Hooks{
                [this](const TestPlan& plan) { return startPollingForTest(plan); },
                [this] { return polledLine(); }},
            this);
    }
    m_productionTest->show();
    m_productionTest->raise();
    m_productionTest->activateWindow();
}

bool TForm1::startPollingForTest(const TestPlan& plan) {
    if (Cycle().Polling()) {
        // The operator chose the line and the address already: they stand.
        return true;
    }
    if (!ComPort.Connected()) {
        // A line opened for the test is opened as the plan expects the unit.
        intgrtpt1->SetValue(plan.address);
        for (int rate = br110; rate <= br256000; ++rate) {
            if (BaudRateValue(static_cast<TBaudRate>(rate)) == plan.baud) {
                ComPort.SetBaudRate(static_cast<TBaudRate>(rate));
            }
        }
    }
    skButton2Click();
    return Cycle().Polling();
}

LineRecord TForm1::polledLine() const {
    return LineRecord{Cycle().PolledPort(), BaudRateValue(ComPort.BaudRate()), Cycle().Address()};
}

void TForm1::UseTemporaryPort(const std::string& path) {
    m_temporaryPort = true;
    ComPort.SetPort(path);
    // The serial port for this run; the stored choice is not overwritten.
    LineChoice serial = m_lineChoice;
    serial.network = false;
    ChooseLine(serial);
}

void TForm1::FormCreate() {
    try {
        ComPort.RestoreSettings(ssRegistry, SettingsKey);
    } catch (const std::exception& error) {
        // The window still comes up whole; the operator hears of it once shown.
        m_restoreFailure = settingsFailureText(error);
    }
    ComPort.SetDataBits(dbEight);
    ComPort.SetStopBits(sbTwoStopBits);
    ComPort.Parity().SetBits(prNone);
    ComPort.FlowControl().SetFlowControl(fcNone);
    restoreLineChoice();
    sg1->SetColWidths(0, 30);
    FillCaptions(*this);
}

void TForm1::FormClose() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_listenChoice->StopListening();
    if (m_writeDialog != nullptr && m_writeDialog->isVisible()) {
        m_writeDialog->reject();
    }
    if (!m_temporaryPort) {
        try {
            ComPort.SaveSettings(ssRegistry, SettingsKey);
            storeLineChoice();
        } catch (const std::exception& error) {
            showMessage(settingsFailureText(error));
        }
    }
    // Through the line keeper, which also stops looking for a lost line.
    if (const PortResult failure = m_session->Keeper().Close()) {
        showMessage(failure->text);
    }
    // With the port gone a later tick would only count misses.
    Cycle().PollTimer().SetEnabled(false);
}

void TForm1::skButton1Click() {
    const std::string portBefore = ComPort.Port();
    try {
        ComPort.RunSetupDialog();
    } catch (const std::exception& error) {
        showMessage(QString::fromUtf8(error.what()));
    }
    // The dialog moved the polled line to another device: the panel names the
    // line now polled.
    if (Cycle().Polling() && ComPort.Port() != portBefore) {
        showPortPanel();
    }
}

void TForm1::showPortPanel() {
    // "port | " while the line works; after the bar why writes fail, else the
    // latest note about the line, and then what the recording does.
    const QString& said = m_writeFailure.isEmpty() ? m_lineNote : m_writeFailure;
    QString text = m_portNamed ? Cycle().PolledPort() + PortPanelSeparator + said : QString();
    if (!m_recordingNote.isEmpty()) {
        text += (said.isEmpty() ? QString() : QStringLiteral("  ")) + m_recordingNote;
    }
    stat1->setPanelText(PanelPort, text);
}

void TForm1::setRecordingNote(const QString& note) {
    m_recordingNote = note;
    showPortPanel();
}

void TForm1::showMonitorMenu(const QPoint& position) {
    QMenu* menu = m_commands->CreateMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mm1->viewport()->mapToGlobal(position));
}

void TForm1::statusPanelDoubleClicked(int panel) {
    // The Tx and Er counters and their labels open the statistics.
    if (panel >= 0 && panel <= PanelErCount) {
        m_commands->OpenStatistics();
    }
}

void TForm1::skButton2Click() {
    // Polling would make a second master on a bus another one polls.
    if (Listening()) {
        showMessage(tr("正在只听总线：先按“停止”，再开始轮询"));
        return;
    }
    // A new run starts without the last one's note; one told while opening
    // (the adapter found under a new name) shows once Start names the port.
    if (!Cycle().Polling() && !m_lines->Connected()) {
        m_lineNote.clear();
        // A network line paces its replies by the rate of the serial line
        // behind its gateway: the serial settings' rate, as set now.
        ChooseLine(m_lineChoice);
    }
    Cycle().SetAddress(intgrtpt1->Value());
    Cycle().Start();
}

void TForm1::skButton3Click() {
    // A unit under test is left safe first: the test's teardown runs, then
    // the loop stops.
    if (m_productionTest != nullptr && m_productionTest->StopTestThen([this] { Cycle().Stop(); })) {
        return;
    }
    m_listenChoice->StopListening();
    Cycle().Stop();
}

void TForm1::tmr1Timer() {
    // Each request goes to the slave the address field names at that moment.
    Cycle().SetAddress(intgrtpt1->Value());
    Cycle().Tick();
}

void TForm1::ComPortRxChar(int count) {
    if (Listening()) {
        // The registers followed are those of the slave the field names now.
        m_session->Listen().SetAddress(intgrtpt1->Value());
        m_session->Listen().BytesArrived(count);
        return;
    }
    Cycle().BytesArrived(count);
}

void TForm1::sg1DrawCell(int column, int row, const QRect& rect, TGridDrawState) {
    QPainter* canvas = sg1->Canvas();
    if (canvas == nullptr) {
        return;
    }
    const QString text = sg1->Cells(column, row);
    const QFont font = canvas->font();
    // Integer division truncates toward zero, so a text wider than its cell
    // starts half its overhang to the left and is clipped at both edges.
    const int dx = (rect.width() - textWidth(font, text)) / 2;
    const int dy = (rect.height() - textHeight(font, QStringLiteral("A"))) / 2;
    canvas->save();
    canvas->setClipRect(rect, Qt::IntersectClip);
    canvas->fillRect(rect, canvas->brush());
    QRect textBox(rect.left() + dx, rect.top() + dy, rect.width() * 4, rect.height());
    DrawTextInRect(*canvas, text, textBox,
                   TextFormat::SingleLine | TextFormat::NoPrefix | TextFormat::NoClip);
    canvas->restore();
}

void TForm1::sg1DblClick() {
    if (!m_lines->Connected() || m_writeDialog == nullptr || m_writeDialog->isVisible()) {
        return;
    }
    const int column = sg1->Col();
    const int row = sg1->Row();
    if ((column != 2 && column != 4) || row <= 0) {
        return;
    }
    bool isNumber = false;
    const qlonglong cellValue = sg1->Cells(column, row).toLongLong(&isNumber);
    const qlonglong held = std::clamp<qlonglong>(isNumber ? cellValue : 0, 0, 65535);
    m_writeDialog->intgrtpt1->SetValue(static_cast<int>(held));
    const bool rampRegister =
        TableCell{column, row} == CellOfRegister(ModuleRegister::OutputDisplay);
    m_writeDialog->SetClientWidth(rampRegister ? TForm2::RampClientWidth
                                               : TForm2::ValueClientWidth);
    m_writeDialog->exec();
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        CentreOnScreen(*this);
    }
    if (m_restoreFailure && !m_restoreFailureShown) {
        m_restoreFailureShown = true;
        // After the window is on screen, so the operator sees what it is about.
        QTimer::singleShot(0, this, [this] { showMessage(*m_restoreFailure); });
    }
}

void TForm1::showMessage(const QString& text) {
    if (m_messageSink) {
        m_messageSink(MessageCaption, text);
        return;
    }
    QMessageBox::warning(this, MessageCaption, text);
}

void TForm1::ShowCounters(std::uint64_t requests, std::uint64_t misses) {
    stat1->setPanelText(PanelTxCount, QString::number(requests));
    stat1->setPanelText(PanelErCount, QString::number(misses));
}

void TForm1::ShowRegisters(const RegisterValues& registers) {
    ShowRegisterValues(registers, *this);
}

void TForm1::ShowPolledPort(const QString&) {
    // The panel names the line as it is now (see showPortPanel), with a
    // clean line so far.
    m_portNamed = true;
    m_writeFailure.clear();
    showPortPanel();
}

void TForm1::BeginFrame(Frame frame) {
    // A request changes a counter, which waits for the reply's frame; a
    // reply changes the cells, read-outs and counters: they make one frame,
    // and a reply that changed no cell still shows the counters.
    if (m_frameDepth++ == 0) {
        m_frameHold.emplace(*this, frame == Frame::Reply ? FramePacer::Joined::Show
                                                         : FramePacer::Joined::Wait);
    }
}

void TForm1::EndFrame() {
    if (--m_frameDepth == 0) {
        m_frameHold.reset();
    }
}

void TForm1::SetCellText(int column, int row, const QString& text) {
    sg1->SetCells(column, row, text);
}

void TForm1::AppendMonitorLine(const QString& line) {
    mm1->AppendLine(line);
}

void TForm1::ClearMonitor() {
    mm1->ClearLines();
}

void TForm1::SetRelayActive(bool active) {
    iLedRectangle1->SetActive(active);
}

void TForm1::SetReadoutPrecision(Readout which, int precision) {
    readout(which)->SetPrecision(precision);
}

void TForm1::SetReadoutValue(Readout which, double value) {
    readout(which)->SetValue(value);
}

void TForm1::ShowOpenFailure(const PortError& error) {
    const QString message = OpenFailureText();
    showMessage(error.text.isEmpty() ? message : message + QLatin1Char('\n') + error.text);
}

void TForm1::ShowWriteFailure(const std::optional<PortError>& error) {
    m_writeFailure = error ? error->text : QString();
    showPortPanel();
}

void TForm1::ShowLineNote(const QString& note) {
    m_lineNote = note;
    showPortPanel();
}

TiSevenSegmentAnalog* TForm1::readout(Readout which) const {
    return which == Readout::Feedback ? iSevenSegmentAnalog1 : iSevenSegmentAnalog2;
}

#include "ui/main/popwin.h"

#include "platform/drawing/Color.h"
#include "platform/drawing/Fonts.h"
#include "ui/common/WindowDesign.h"
#include "ui/common/WindowFont.h"
#include "ui/main/RegisterMap.h"
#include "ui/main/Unit1.h"
#include "widgets/grid/FramedStringGrid.h"
#include "widgets/instrument/iIntegerOutput.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The cells of the command registers in the register table.
constexpr TableCell RelayCell = CellOfRegister(ModuleRegister::Relay);
constexpr TableCell SpanCell = CellOfRegister(ModuleRegister::OutputSpan);
constexpr TableCell CalibrationCell = CellOfRegister(ModuleRegister::CalibrationCommand);
constexpr int SpanCellRow = SpanCell.row;

constexpr int RampTimerInterval = 1;
constexpr int FollowUpInterval = 500;

// Positions and sizes in client pixels, inside the control's parent.
constexpr std::array<ControlBounds, 14> Layout{{
    {"pnl1", 8, 8, 217, 113},
    {"lbl1", 40, 24, 15, 13},
    {"intgrtpt1", 63, 16, 82, 32},
    {"btnOKBtn", 15, 60, 90, 37},
    {"btnCancelBtn", 119, 60, 90, 37},
    {"pnl2", 256, 8, 257, 113},
    {"rg1", 16, 8, 225, 89},
    {"btn1", 536, 16, 177, 25},
    {"intgrtpt2", 535, 48, 58, 24},
    {"btn2", 600, 48, 113, 25},
    {"btn3", 536, 80, 177, 25},
    {"btn4", 534, 112, 83, 25},
    {"btn5", 630, 111, 83, 25},
    {"rg1Items", 8, 18, 209, 66},
}};

QFrame* makePanel(QWidget* parent, const char* name) {
    auto* panel = NewControl<QFrame>(parent, name);
    // A raised one-pixel bevel, as panels have.
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = NewControl<QPushButton>(parent, name);
    button->setText(caption);
    return button;
}

} // namespace

TForm2::TForm2(TForm1& mainWindow) : QDialog(&mainWindow), m_mainWindow(mainWindow) {
    createControls();
    applyDesignValues();
}

TForm2::~TForm2() = default;

void TForm2::createControls() {
    pnl1 = makePanel(this, "pnl1");
    lbl1 = NewControl<QLabel>(pnl1, "lbl1");
    intgrtpt1 = NewControl<TiIntegerOutput>(pnl1, "intgrtpt1");
    btnOKBtn = makeButton(pnl1, "btnOKBtn", tr("OK"));
    btnCancelBtn = makeButton(pnl1, "btnCancelBtn", tr("Cancel"));
    pnl2 = makePanel(this, "pnl2");
    rg1 = NewControl<QGroupBox>(pnl2, "rg1");
    m_rampButtons = new QButtonGroup(this);
    const std::array<QString, 3> items{tr("连续减5"), tr("不用"), tr("连续加5")};
    auto* itemColumn = NewControl<QWidget>(rg1, "rg1Items");
    for (int index = 0; index < static_cast<int>(items.size()); ++index) {
        auto* item = new QRadioButton(items[static_cast<std::size_t>(index)], itemColumn);
        item->setGeometry(0, index * 22, 209, 22);
        rg1Items[static_cast<std::size_t>(index)] = item;
        m_rampButtons->addButton(item, index);
    }
    btn1 = makeButton(this, "btn1", tr("校准输入零点"));
    intgrtpt2 = NewControl<TiIntegerOutput>(this, "intgrtpt2");
    btn2 = makeButton(this, "btn2", tr("校准输出量程"));
    btn3 = makeButton(this, "btn3", tr("校准输入20mA"));
    btn4 = makeButton(this, "btn4", tr("继电器开"));
    btn5 = makeButton(this, "btn5", tr("继电器关"));
}

void TForm2::applyDesignValues() {
    intgrtpt1->BeginLoading();
    intgrtpt2->BeginLoading();

    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle(tr("写寄存器值"));
    setFont(WindowFont());
    UseButtonFaceBackground(*this);
    resize(DesignClientWidth, ClientHeight);
    ApplyLayout(*this, Layout);

    designValuePanel();
    rg1->setTitle(tr("自动加减寄存器3 输出显示值 测试"));
    SetRampItemIndex(RampOff);
    designCommands();
    designTimers();
    designTabOrder();

    intgrtpt1->EndLoading();
    intgrtpt2->EndLoading();
}

void TForm2::designValuePanel() {
    lbl1->setText(tr("值:"));
    intgrtpt1->SetValueMin(0);
    intgrtpt1->SetValueMax(65535);
    intgrtpt1->SetValue(0);
    intgrtpt1->SetMaxLength(5);
    intgrtpt1->SetFormatStyle(iifsInteger);
    intgrtpt1->SetLeadingZeros(false);
    intgrtpt1->SetFont(TFont(QStringLiteral("宋体"), -24, fsBold));
    btnOKBtn->setDefault(true);
    connect(btnOKBtn, &QPushButton::clicked, this, &TForm2::btnOKBtnClick);
    connect(btnCancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm2::designCommands() {
    intgrtpt2->SetValueMin(ModuleCommand::OutputSpanMinimum);
    intgrtpt2->SetValueMax(ModuleCommand::OutputSpanMaximum);
    intgrtpt2->SetValue(ModuleCommand::OutputSpanMinimum);
    intgrtpt2->SetMaxLength(5);
    intgrtpt2->SetFont(TFont(QStringLiteral("宋体"), -16, fsBold));
    connect(btn1, &QPushButton::clicked, this, &TForm2::btn1Click);
    connect(btn2, &QPushButton::clicked, this, &TForm2::btn2Click);
    connect(btn3, &QPushButton::clicked, this, &TForm2::btn3Click);
    connect(btn4, &QPushButton::clicked, this, &TForm2::btn4Click);
    connect(btn5, &QPushButton::clicked, this, &TForm2::btn5Click);
}

void TForm2::designTimers() {
    tmr1.SetInterval(RampTimerInterval);
    tmr1.SetEnabled(true);
    connect(m_rampButtons, &QButtonGroup::idToggled, this, [this] { updateRampTimer(); });
    updateRampTimer();
    tmr2.SetEnabled(false);
    tmr2.SetInterval(FollowUpInterval);
    tmr2.SetOnTimer([this] { tmr2Timer(); });
}

void TForm2::designTabOrder() {
    // Panel 1 first (OK, Cancel, the value), then the ramp group and the
    // command controls, even where they lie beyond the visible width.
    setTabOrder(btnOKBtn, btnCancelBtn);
    setTabOrder(btnCancelBtn, intgrtpt1);
    setTabOrder(intgrtpt1, rg1Items[RampDown]);
    setTabOrder(rg1Items[RampDown], rg1Items[RampOff]);
    setTabOrder(rg1Items[RampOff], rg1Items[RampUp]);
    setTabOrder(rg1Items[RampUp], btn1);
    setTabOrder(btn1, intgrtpt2);
    setTabOrder(intgrtpt2, btn2);
    setTabOrder(btn2, btn3);
    setTabOrder(btn3, btn4);
    setTabOrder(btn4, btn5);
    // The ramp group is a single stop: Tab reaches its selected item, and the
    // arrow keys move between the items.
    connect(m_rampButtons, &QButtonGroup::idToggled, this, [this] { updateRampTabStop(); });
    updateRampTabStop();
}

void TForm2::updateRampTimer() {
    // The ramp timer stays enabled, but with the ramp off a tick would do
    // nothing: it goes without its handler then and does not wake the program
    // a thousand times a second.
    const int direction = RampItemIndex();
    if (direction < 0 || direction == RampOff) {
        tmr1.SetOnTimer(nullptr);
    } else if (!tmr1.HasOnTimer()) {
        tmr1.SetOnTimer([this] { tmr1Timer(); });
    }
}

void TForm2::updateRampTabStop() {
    for (QRadioButton* item : rg1Items) {
        item->setFocusPolicy(item->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

int TForm2::RampItemIndex() const {
    return m_rampButtons->checkedId();
}

void TForm2::SetRampItemIndex(int index) {
    if (QAbstractButton* item = m_rampButtons->button(index)) {
        item->setChecked(true);
    }
}

void TForm2::SetClientWidth(int width) {
    resize(width, ClientHeight);
}

void TForm2::btnOKBtnClick() {
    m_mainWindow.RequestWrite(intgrtpt1->Value());
    accept();
}

void TForm2::FormShow() {
    intgrtpt1->setFocus(Qt::OtherFocusReason);
}

void TForm2::FormClose() {
    SetRampItemIndex(RampOff);
}

void TForm2::tmr1Timer() {
    const int direction = RampItemIndex();
    if (direction < 0 || direction == RampOff) {
        return;
    }
    if (m_mainWindow.Mailbox() != WriteMode::Read) {
        return;
    }
    intgrtpt1->SetValue(intgrtpt1->Value() + (direction - RampOff) * RampStep);
    intgrtpt1->SetValue(std::clamp(intgrtpt1->Value(), 0, int{OutputFullScale}));
    m_mainWindow.RequestWrite(intgrtpt1->Value());
}

void TForm2::btn1Click() {
    selectCell(CalibrationCell.column, CalibrationCell.row);
    m_mainWindow.RequestWrite(ModuleCommand::CalibrateInputZero);
}

void TForm2::btn2Click() {
    selectCell(SpanCell.column, SpanCell.row);
    m_mainWindow.RequestWrite(intgrtpt2->Value());
    tmr2.SetEnabled(true);
}

void TForm2::btn3Click() {
    selectCell(CalibrationCell.column, CalibrationCell.row);
    m_mainWindow.RequestWrite(ModuleCommand::CalibrateInput20mA);
}

void TForm2::btn4Click() {
    selectCell(RelayCell.column, RelayCell.row);
    m_mainWindow.RequestWrite(ModuleCommand::RelayOn);
    tmr2.SetEnabled(true);
}

void TForm2::btn5Click() {
    selectCell(RelayCell.column, RelayCell.row);
    m_mainWindow.RequestWrite(ModuleCommand::RelayOff);
    tmr2.SetEnabled(true);
}

void TForm2::tmr2Timer() {
    // The span value goes with a confirmation to the calibration register;
    // after a relay command only the current cell moves on.
    const bool confirmSpan = m_mainWindow.sg1->Row() == SpanCellRow;
    selectCell(CalibrationCell.column, CalibrationCell.row);
    if (confirmSpan) {
        m_mainWindow.RequestWrite(ModuleCommand::CalibrateOutputSpan);
    }
    tmr2.SetEnabled(false);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(*this);
    FormShow();
}

void TForm2::hideEvent(QHideEvent* event) {
    // Every way of closing hides the dialog; the ramp never outlives it. When
    // the window system minimises the dialog along with the main window, the
    // hide is spontaneous: the dialog is still open and a running ramp goes on.
    if (!event->spontaneous()) {
        FormClose();
    }
    QDialog::hideEvent(event);
}

void TForm2::selectCell(int column, int row) {
    m_mainWindow.sg1->SetCol(column);
    m_mainWindow.sg1->SetRow(row);
}

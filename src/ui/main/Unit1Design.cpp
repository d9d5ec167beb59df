// The main window's design data: every control with its position, size and
// property values, applied while the window is being loaded.

#include "platform/drawing/Color.h"
#include "platform/drawing/Fonts.h"
#include "ui/common/WindowDesign.h"
#include "ui/common/WindowFont.h"
#include "ui/main/RegisterMap.h"
#include "ui/main/StatusBar.h"
#include "ui/main/Unit1.h"
#include "ui/monitor/TrafficMonitor.h"
#include "widgets/grid/FramedStringGrid.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/instrument/iLabel.h"
#include "widgets/instrument/iLedRectangle.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"
#include "widgets/skin/SkinButton.h"

#include <array>

namespace {

// Positions and sizes in client pixels.
constexpr QSize ClientSize{840, 796};
constexpr QSize MinimumSize{270, 50};
constexpr std::array<ControlBounds, 16> Layout{{
    {"ilbl1", 40, 16, 34, 20},
    {"intgrtpt1", 32, 40, 57, 32},
    {"skButton1", 104, 32, 97, 41},
    {"skButton2", 216, 32, 97, 41},
    {"skButton3", 328, 32, 97, 41},
    {"ilbl6", 504, 16, 51, 20},
    {"iLedRectangle1", 512, 48, 36, 36},
    {"ilbl2", 584, 16, 34, 20},
    {"iSevenSegmentAnalog1", 584, 40, 108, 46},
    {"ilbl3", 696, 16, 34, 20},
    {"iSevenSegmentAnalog2", 696, 40, 108, 46},
    {"ilbl5", 32, 88, 85, 20},
    {"sg1", 32, 112, 777, 393},
    {"ilbl4", 32, 520, 102, 20},
    {"mm1", 32, 544, 793, 217},
    {"stat1", 0, 777, 840, 19},
}};

constexpr char WindowCaption[] =
    QT_TRANSLATE_NOOP("TForm1", "KESTRO_MODBUS_M_V1.0   功能测试(KESTRO)");

struct LabelDesign {
    TiLabel* TForm1::*label;
    const char* name;
    const char* caption;
};

const std::array<LabelDesign, 6> Labels{{
    {&TForm1::ilbl1, "ilbl1", QT_TRANSLATE_NOOP("TForm1", "地址")},
    {&TForm1::ilbl6, "ilbl6", QT_TRANSLATE_NOOP("TForm1", "继电器")},
    {&TForm1::ilbl2, "ilbl2", QT_TRANSLATE_NOOP("TForm1", "反馈")},
    {&TForm1::ilbl3, "ilbl3", QT_TRANSLATE_NOOP("TForm1", "输出")},
    {&TForm1::ilbl5, "ilbl5", QT_TRANSLATE_NOOP("TForm1", "寄存器读写")},
    {&TForm1::ilbl4, "ilbl4", QT_TRANSLATE_NOOP("TForm1", "串口数据监视")},
}};

struct PanelDesign {
    int width;
    const char* text;
};

constexpr std::array<PanelDesign, 5> StatusPanels{{
    {25, QT_TRANSLATE_NOOP("TForm1", "Tx=")},
    {50, "0"},
    {25, QT_TRANSLATE_NOOP("TForm1", "Er=")},
    {50, "0"},
    {50, ""},
}};

// Table sg1.
constexpr int TableDefaultColumnWidth = 180;
constexpr int TableDefaultRowHeight = 33;

// Poll timer tmr1 at design time.
constexpr int PollTimerDesignInterval = 1;

TFont labelFont() {
    return TFont(QStringLiteral("MS Sans Serif"), -16, fsBold);
}

void designButton(TskButton& button, const QString& caption) {
    button.SetCaption(caption);
    button.SetUIStyle(TskUIStyle::BlueGlass);
    button.SetTransparent(true);
    button.SetLayout(TButtonLayout::blGlyphLeft);
    button.SetSpacing(4);
    button.SetFocusedRectMargin(2);
    button.SetMouseContinuouslyDownInterval(100);
    button.SetModalResult(0);
}

void designReadout(TiSevenSegmentAnalog& readout, TColor segmentColor) {
    readout.SetSegmentColor(segmentColor);
    readout.SetSegmentSize(2);
    readout.SetShowSign(false);
    readout.SetLeadingStyle(ilsZeros);
}

void designLabels(TForm1& form) {
    for (const LabelDesign& design : Labels) {
        TiLabel* label = form.*design.label;
        label->SetCaption(TForm1::tr(design.caption));
        label->Font().Assign(labelFont());
        label->SetWordWrap(false);
    }
}

void designAddressField(TForm1& form) {
    TiIntegerOutput& field = *form.intgrtpt1;
    field.SetValueMin(1);
    field.SetValueMax(127);
    field.SetValue(1);
    field.SetMaxLength(3);
    field.SetFormatStyle(iifsInteger);
    field.SetLeadingZeros(false);
    field.SetFont(TFont(QStringLiteral("宋体"), -24, fsBold));
    field.OnChangeUser = [&form](QObject*) { form.intgrtpt1ChangeUser(); };
}

void designButtons(TForm1& form) {
    designButton(*form.skButton1, TForm1::tr("串口设置"));
    designButton(*form.skButton2, TForm1::tr("开始"));
    designButton(*form.skButton3, TForm1::tr("停止"));
    form.skButton2->SetDefault(true);
    form.skButton1->OnClick = [&form](QObject*) { form.skButton1Click(); };
    form.skButton2->OnClick = [&form](QObject*) { form.skButton2Click(); };
    form.skButton3->OnClick = [&form](QObject*) { form.skButton3Click(); };
}

void designTable(TForm1& form) {
    TFramedStringGrid& table = *form.sg1;
    table.SetColCount(TableColumnCount);
    table.SetRowCount(TableRowCount);
    table.SetFixedCols(0);
    table.SetFixedRows(0);
    table.SetDefaultColWidth(TableDefaultColumnWidth);
    table.SetDefaultRowHeight(TableDefaultRowHeight);
    table.SetOptions(TStringGrid::kDefaultOptions | goDrawFocusSelected);
    table.SetCtl3D(false);
    table.SetBorderStyle(TBorderStyle::bsSingle);
    table.Font().Assign(TFont(QStringLiteral("宋体"), -13));
    table.OnDrawCell = [&form](QObject*, int column, int row, const QRect& rect,
                               TGridDrawState state) {
        form.sg1DrawCell(column, row, rect, state);
    };
    table.OnDblClick = [&form](QObject*) { form.sg1DblClick(); };
}

void designMonitor(TrafficMonitor& monitor) {
    monitor.setFrameShape(QFrame::NoFrame);
    monitor.ShowScrollBarsAlways();
    monitor.setLineWrapMode(QPlainTextEdit::NoWrap);
}

void designStatusBar(StatusBar& bar) {
    bar.Font().Assign(TFont(QStringLiteral("MS Sans Serif"), -11));
    for (const PanelDesign& panel : StatusPanels) {
        bar.addPanel(panel.width, TForm1::tr(panel.text));
    }
}

void designTabOrder(TForm1& form) {
    // Start is the first stop of the tab order.
    QWidget::setTabOrder(form.skButton2, form.skButton3);
    QWidget::setTabOrder(form.skButton3, form.skButton1);
    QWidget::setTabOrder(form.skButton1, form.intgrtpt1);
    QWidget::setTabOrder(form.intgrtpt1, form.sg1);
    QWidget::setTabOrder(form.sg1, form.mm1);
}

} // namespace

void TForm1::createControls() {
    for (const LabelDesign& design : Labels) {
        this->*design.label = NewControl<TiLabel>(this, design.name);
    }
    intgrtpt1 = NewControl<TiIntegerOutput>(this, "intgrtpt1");
    skButton1 = NewControl<TskButton>(this, "skButton1");
    skButton2 = NewControl<TskButton>(this, "skButton2");
    skButton3 = NewControl<TskButton>(this, "skButton3");
    iLedRectangle1 = NewControl<TiLedRectangle>(this, "iLedRectangle1");
    iSevenSegmentAnalog1 = NewControl<TiSevenSegmentAnalog>(this, "iSevenSegmentAnalog1");
    iSevenSegmentAnalog2 = NewControl<TiSevenSegmentAnalog>(this, "iSevenSegmentAnalog2");
    sg1 = NewControl<TFramedStringGrid>(this, "sg1");
    mm1 = NewControl<TrafficMonitor>(this, "mm1");
    stat1 = NewControl<StatusBar>(this, "stat1");
}

void TForm1::loadDesign() {
    const std::array<TiComponent*, 9> instruments{ilbl1,
                                                  ilbl6,
                                                  ilbl2,
                                                  ilbl3,
                                                  ilbl5,
                                                  ilbl4,
                                                  iLedRectangle1,
                                                  iSevenSegmentAnalog1,
                                                  iSevenSegmentAnalog2};
    const std::array<TskButton*, 3> buttons{skButton1, skButton2, skButton3};
    for (TiComponent* instrument : instruments) {
        instrument->BeginLoading();
    }
    intgrtpt1->BeginLoading();
    for (TskButton* button : buttons) {
        button->BeginLoading();
    }
    sg1->BeginLoading();
    ComPort.BeginLoading();

    applyDesignValues();
    applyPortDesignValues();

    for (TiComponent* instrument : instruments) {
        instrument->EndLoading();
    }
    intgrtpt1->EndLoading();
    for (TskButton* button : buttons) {
        button->EndLoading();
    }
    sg1->EndLoading();
    ComPort.Loaded();
}

void TForm1::applyDesignValues() {
    setWindowTitle(tr(WindowCaption));
    setMinimumSize(MinimumSize);
    resize(ClientSize);
    setFont(WindowFont());
    UseButtonFaceBackground(*this);
    ApplyLayout(*this, Layout);

    designLabels(*this);
    designAddressField(*this);
    designButtons(*this);
    designReadout(*iSevenSegmentAnalog1, clRed);
    designReadout(*iSevenSegmentAnalog2, clLime);
    iSevenSegmentAnalog1->OnDblClick = [this](QObject*) { iSevenSegmentAnalog1DblClick(); };
    iSevenSegmentAnalog2->OnDblClick = [this](QObject*) { iSevenSegmentAnalog2DblClick(); };
    designTable(*this);
    designMonitor(*mm1);
    designStatusBar(*stat1);
    Cycle().PollTimer().SetEnabled(false);
    Cycle().PollTimer().SetInterval(PollTimerDesignInterval);
    designTabOrder(*this);
}

void TForm1::applyPortDesignValues() {
    ComPort.SetName("ComPort");
    ComPort.SetBaudRate(br9600);
    ComPort.SetPort(" ");
    ComPort.Parity().SetBits(prNone);
    ComPort.SetStopBits(sbTwoStopBits);
    ComPort.SetDataBits(dbEight);
    ComPort.SetEvents(
        {evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full});
    TComFlowControl& flow = ComPort.FlowControl();
    flow.SetOutCTSFlow(false);
    flow.SetOutDSRFlow(false);
    flow.SetControlDTR(dtrDisable);
    flow.SetControlRTS(rtsDisable);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
}

#include "ui/main/RegisterMap.h"

#include "poll/ReadoutSample.h"

#include <QCoreApplication>
#include <array>

namespace {

const std::array<const char*, RegisterCount> Captions = {
    QT_TRANSLATE_NOOP("RegisterMap", "无"),
    QT_TRANSLATE_NOOP("RegisterMap", "反馈实际电流"),
    QT_TRANSLATE_NOOP("RegisterMap", "反馈显示值"),
    QT_TRANSLATE_NOOP("RegisterMap", "输出显示值"),
    QT_TRANSLATE_NOOP("RegisterMap", "输出范围"),
    QT_TRANSLATE_NOOP("RegisterMap", "显示模式"),
    QT_TRANSLATE_NOOP("RegisterMap", "输出值调节倍数"),
    QT_TRANSLATE_NOOP("RegisterMap", "设备ID(重启生效)"),
    QT_TRANSLATE_NOOP("RegisterMap", "波特率(重启生效)"),
    QT_TRANSLATE_NOOP("RegisterMap", "输入干接点值"),
    QT_TRANSLATE_NOOP("RegisterMap", "输出继电器值"),
    QT_TRANSLATE_NOOP("RegisterMap", "继电器功能"),
    QT_TRANSLATE_NOOP("RegisterMap", "继电器触发值"),
    QT_TRANSLATE_NOOP("RegisterMap", "继电器触发延时"),
    QT_TRANSLATE_NOOP("RegisterMap", "自动控制参数1"),
    QT_TRANSLATE_NOOP("RegisterMap", "自动控制参数2"),
    QT_TRANSLATE_NOOP("RegisterMap", "自动控制参数3"),
    QT_TRANSLATE_NOOP("RegisterMap", "无"),
    QT_TRANSLATE_NOOP("RegisterMap", "无"),
    QT_TRANSLATE_NOOP("RegisterMap", "无"),
};

constexpr char DescriptionHeader[] = QT_TRANSLATE_NOOP("RegisterMap", "寄存器说明");
constexpr char ValueHeader[] = QT_TRANSLATE_NOOP("RegisterMap", "值0-65535");

QString translated(const char* text) {
    return QCoreApplication::translate("RegisterMap", text);
}

} // namespace

int RegisterOfCell(int column, int row) {
    // C++ integer division truncates toward zero, as the table's formula wants.
    return ((column - 1) / 2) * RegistersPerColumn + row - 1;
}

bool IsValueCell(int column, int row) {
    return (column == 2 || column == 4) && row >= 1 && row <= RegistersPerColumn;
}

QString RegisterCaption(int registerIndex) {
    if (registerIndex < 0 || registerIndex >= RegisterCount) {
        return {};
    }
    return translated(Captions[static_cast<std::size_t>(registerIndex)]);
}

void FillCaptions(RegisterDisplay& view) {
    view.SetCellText(0, 0, QString());
    view.SetCellText(1, 0, translated(DescriptionHeader));
    view.SetCellText(2, 0, translated(ValueHeader));
    view.SetCellText(3, 0, translated(DescriptionHeader));
    view.SetCellText(4, 0, translated(ValueHeader));
    for (int row = 1; row <= RegistersPerColumn; ++row) {
        view.SetCellText(0, row, QString::number(row - 1));
    }
    for (int column = 1; column < TableColumnCount; ++column) {
        const bool captionColumn = column % 2 == 1;
        for (int row = 1; row <= RegistersPerColumn; ++row) {
            const int registerIndex = RegisterOfCell(column + (captionColumn ? 1 : 0), row);
            view.SetCellText(column, row,
                             captionColumn ? RegisterCaption(registerIndex) : QStringLiteral("0"));
        }
    }
}

void ShowRegisterValues(const RegisterValues& values, RegisterDisplay& display) {
    for (int i = 0; i < RegisterCount; ++i) {
        const TableCell cell = CellOfRegister(i);
        display.SetCellText(cell.column, cell.row,
                            QString::number(values[static_cast<std::size_t>(i)]));
    }
    display.SetRelayActive((values[ModuleRegister::Relay] & 1U) == 1U);

    // The precision goes first so that a change of display mode shows in this reply.
    const double divisor = ReadoutDivisor(values[ModuleRegister::DisplayMode]);
    const int precision = ReadoutPrecision(values[ModuleRegister::DisplayMode]);
    display.SetReadoutPrecision(Readout::Feedback, precision);
    display.SetReadoutPrecision(Readout::Output, precision);
    display.SetReadoutValue(Readout::Feedback, values[ModuleRegister::FeedbackDisplay] / divisor);
    display.SetReadoutValue(Readout::Output, values[ModuleRegister::OutputDisplay] / divisor);
}

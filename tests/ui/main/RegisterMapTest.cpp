#include "ui/main/RegisterMap.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <array>

namespace {

// Records what the table, the lamp and the read-outs are told.
class FakeDisplay : public RegisterDisplay {
public:
    void SetCellText(int c, int r, const QString& text) override {
        cells.at(static_cast<std::size_t>(c)).at(static_cast<std::size_t>(r)) = text;
        cellWrites.append(QStringLiteral("%1,%2").arg(c).arg(r));
    }
    void SetRelayActive(bool active) override { relay = active; }
    void SetReadoutPrecision(Readout readout, int precision) override {
        readoutLog.append(QStringLiteral("P%1=%2").arg(int(readout)).arg(precision));
    }
    void SetReadoutValue(Readout readout, double value) override {
        readoutLog.append(QStringLiteral("V%1=%2").arg(int(readout)).arg(value));
    }
    QString cell(int c, int r) const {
        return cells.at(static_cast<std::size_t>(c)).at(static_cast<std::size_t>(r));
    }

    std::array<std::array<QString, TableRowCount>, TableColumnCount> cells;
    QStringList cellWrites;
    bool relay = false;
    QStringList readoutLog;
};

TEST(RegisterMap, CellsAndRegistersMapBothWays) {
    for (int i = 0; i < RegisterCount; ++i) {
        const TableCell cell = CellOfRegister(i);
        EXPECT_TRUE(IsValueCell(cell.column, cell.row)) << i;
        EXPECT_EQ(RegisterOfCell(cell.column, cell.row), i);
    }
    EXPECT_EQ(CellOfRegister(0), (TableCell{2, 1}));
    EXPECT_EQ(CellOfRegister(17), (TableCell{4, 8}));
    EXPECT_EQ(CellOfRegister(19), (TableCell{4, 10}));
    // The raw formula on cells without a register: columns 0 and 1 like column 2,
    // column 3 like column 4, and row 0 one below the column's first register.
    EXPECT_EQ(RegisterOfCell(0, 5), 4);
    EXPECT_EQ(RegisterOfCell(1, 5), 4);
    EXPECT_EQ(RegisterOfCell(3, 5), 14);
    EXPECT_EQ(RegisterOfCell(0, 0), -1);
    EXPECT_EQ(RegisterOfCell(2, 0), -1);
    EXPECT_EQ(RegisterOfCell(4, 0), 9);
    EXPECT_FALSE(IsValueCell(2, 0));
    EXPECT_FALSE(IsValueCell(3, 4));
    EXPECT_FALSE(IsValueCell(4, 11));
}

TEST(RegisterMap, CaptionsFillTheTableColumnByColumn) {
    FakeDisplay view;
    FillCaptions(view);
    EXPECT_EQ(view.cell(0, 0), "");
    EXPECT_EQ(view.cell(1, 0), "寄存器说明");
    EXPECT_EQ(view.cell(3, 0), "寄存器说明");
    EXPECT_EQ(view.cell(2, 0), "值0-65535");
    EXPECT_EQ(view.cell(4, 0), "值0-65535");
    for (int row = 1; row <= 10; ++row) {
        EXPECT_EQ(view.cell(0, row), QString::number(row - 1));
        EXPECT_EQ(view.cell(2, row), "0");
        EXPECT_EQ(view.cell(4, row), "0");
    }
    // Every caption stands left of its register's value, in the same row.
    const std::array<const char*, 20> captions = {
        "无",
        "反馈实际电流",
        "反馈显示值",
        "输出显示值",
        "输出范围",
        "显示模式",
        "输出值调节倍数",
        "设备ID(重启生效)",
        "波特率(重启生效)",
        "输入干接点值",
        "输出继电器值",
        "继电器功能",
        "继电器触发值",
        "继电器触发延时",
        "自动控制参数1",
        "自动控制参数2",
        "自动控制参数3",
        "无",
        "无",
        "无",
    };
    for (int i = 0; i < RegisterCount; ++i) {
        const QString caption = QString::fromUtf8(captions[static_cast<std::size_t>(i)]);
        const TableCell cell = CellOfRegister(i);
        EXPECT_EQ(view.cell(cell.column - 1, cell.row), caption) << "register " << i;
        EXPECT_EQ(RegisterCaption(i), caption) << "register " << i;
    }
    EXPECT_EQ(RegisterCaption(-1), QString());
    EXPECT_EQ(RegisterCaption(20), QString());

    // Header row first, then column 0 to column 4, each top to bottom.
    ASSERT_EQ(view.cellWrites.size(), 55);
    EXPECT_EQ(view.cellWrites.mid(0, 5), (QStringList{"0,0", "1,0", "2,0", "3,0", "4,0"}));
    EXPECT_EQ(view.cellWrites[5], "0,1");
    EXPECT_EQ(view.cellWrites[15], "1,1");
    EXPECT_EQ(view.cellWrites[54], "4,10");
}

TEST(RegisterMap, ReadOutsScaleByDisplayModeAndLampFollowsBitZero) {
    RegisterValues registers{};
    registers[2] = 123;
    registers[3] = 4000;
    registers[5] = 1;
    registers[10] = 3;
    registers[19] = 65535;
    FakeDisplay view;
    ShowRegisterValues(registers, view);
    EXPECT_EQ(view.readoutLog, (QStringList{"P0=1", "P1=1", "V0=12.3", "V1=400"}));
    EXPECT_TRUE(view.relay);
    EXPECT_EQ(view.cell(4, 10), "65535");
    EXPECT_EQ(view.cell(2, 4), "4000");

    registers[5] = 0;
    registers[10] = 2;
    view.readoutLog.clear();
    ShowRegisterValues(registers, view);
    EXPECT_EQ(view.readoutLog, (QStringList{"P0=2", "P1=2", "V0=1.23", "V1=40"}));
    EXPECT_FALSE(view.relay);
}

} // namespace

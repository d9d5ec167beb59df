#pragma once
// Where the slave's 20 holding registers sit in the register table, what they
// mean and how the registers of a read reply drive the table, the relay lamp
// and the read-outs.

#include "modbus/Module.h"

#include <QString>

inline constexpr int TableColumnCount = 5;
inline constexpr int TableRowCount = 11;
inline constexpr int RegistersPerColumn = 10;

struct TableCell {
    int column = 0;
    int row = 0;
    bool operator==(const TableCell&) const = default;
};

enum class Readout { Feedback, Output };

// What the registers are shown on: the main window's table, relay lamp and
// two seven-segment read-outs.
class RegisterDisplay {
public:
    virtual ~RegisterDisplay() = default;
    virtual void SetCellText(int column, int row, const QString& text) = 0;
    virtual void SetRelayActive(bool active) = 0;
    virtual void SetReadoutPrecision(Readout readout, int precision) = 0;
    virtual void SetReadoutValue(Readout readout, double value) = 0;
};

// The write dialog's ramp steps the output by this much.
inline constexpr int RampStep = 5;

// Register i sits in column (i div 10) * 2 + 2, row (i mod 10) + 1.
constexpr TableCell CellOfRegister(int registerIndex) {
    return TableCell{(registerIndex / RegistersPerColumn) * 2 + 2,
                     (registerIndex % RegistersPerColumn) + 1};
}

// The table's own formula ((column - 1) div 2) * 10 + row - 1, with div truncating
// toward zero. It yields a number for every cell, including caption and label cells.
int RegisterOfCell(int column, int row);

// True for the 20 cells that hold register values (columns 2 and 4, rows 1 to 10).
bool IsValueCell(int column, int row);

// The description shown left of register i.
QString RegisterCaption(int registerIndex);

// Header row, row labels, captions and "0" in every value cell, column by column
// after the header row.
void FillCaptions(RegisterDisplay& display);

// Shows the 20 registers of a sound read reply, lights the relay lamp from bit 0
// of the relay register and scales both read-outs by the display mode.
void ShowRegisterValues(const RegisterValues& values, RegisterDisplay& display);

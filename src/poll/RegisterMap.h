#pragma once

#include "modbus/Module.h"
#include "modbus/RtuFrame.h"
#include "poll/ReadoutSample.h"

#include <QString>
#include <cstdint>

class PollView;

// Where the slave's 20 holding registers sit in the register table, what they
// mean and how a read reply drives the table, the relay lamp and the read-outs.

inline constexpr int TableColumnCount = 5;
inline constexpr int TableRowCount = 11;

struct TableCell {
    int column = 0;
    int row = 0;
    bool operator==(const TableCell&) const = default;
};

// The write dialog's ramp steps the output by this much.
inline constexpr int RampStep = 5;

// Register i sits in column (i div 10) * 2 + 2, row (i mod 10) + 1.
TableCell CellOfRegister(int registerIndex);

// The table's own formula ((column - 1) div 2) * 10 + row - 1, with div truncating
// toward zero. It yields a number for every cell, including caption and label cells.
int RegisterOfCell(int column, int row);

// True for the 20 cells that hold register values (columns 2 and 4, rows 1 to 10).
bool IsValueCell(int column, int row);

// The description shown left of register i.
QString RegisterCaption(int registerIndex);

// Header row, row labels, captions and "0" in every value cell, column by column
// after the header row.
void FillCaptions(PollView& view);

// Shows the 20 registers of a sound read reply, lights the relay lamp from bit 0
// of register 10 and scales both read-outs by the display mode in register 5.
void DecodeReply(const TRxFrame& rxFrame, PollView& view);

// The output, feedback and display mode of a sound read reply that arrived at time.
ReadoutSample ReadoutOf(const TRxFrame& rxFrame, std::chrono::steady_clock::time_point time);

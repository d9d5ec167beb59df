#pragma once
// The trend's samples and a linearity result as CSV, lines ending in a line
// feed. No field ever holds a comma or a quote, so nothing is quoted.

#include "trend/LinearityResult.h"
#include "trend/TrendHistory.h"

#include <QByteArray>

/// time,elapsed_us,output,feedback: every sample from `from` up to `to`, the
/// time on the wall clock with microseconds and the offset from UTC, the
/// values as the registers hold them.
QByteArray TrendCsv(const TrendHistory& history, TrendHistory::Microseconds from,
                    TrendHistory::Microseconds to);

/// output,feedback,deviation,deviation_pct: one row a measured point, the
/// feedback and deviation in counts with two decimals, the deviation in per
/// cent of the full scale with three.
QByteArray LinearityCsv(const LinearityResult& result);

/// One row of LinearityCsv, without its line end.
QByteArray LinearityCsvRow(const LinearityPoint& point);

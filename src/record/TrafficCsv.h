#pragma once
// The traffic record as CSV, one row per entry. No field ever holds a comma,
// a quote or a line break, so no field is quoted.

#include "poll/TrafficEvent.h"

#include <QByteArray>

/// The header row, with its line end.
QByteArray TrafficCsvHeader();

/// time,elapsed_us,direction,bytes,verdict,response_us with its line end:
///   2026-12-08T14:03:07.123456+08:00,1234567,Rx,01 03 28 ...,ok,8120
QByteArray TrafficCsvRow(const TrafficEvent& event);

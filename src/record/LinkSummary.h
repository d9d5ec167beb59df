#pragma once
// The link statistics as one line of JSON, for scripts:
//   {"tx": 1000, "er": 3, "replies": 997, "verdicts": {"ok": 997, "no-reply": 2,
//    "bad-crc": 1}, "response_us": {"min": 812, "mean": 845, "p50": 839, "p95": 901,
//    "p99": 960, "max": 1377}, "histogram": [{"upto_us": 100, "count": 0}, ...]}
// Response times are whole microseconds, all 0 when no reply was sound;
// "coarse": N in response_us counts those taken through an adapter that holds
// received bytes for milliseconds (absent when there were none).

#include "record/LinkStatistics.h"

#include <QByteArray>

QByteArray LinkSummaryJson(const LinkStatistics& statistics);

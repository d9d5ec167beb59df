#pragma once

#include <QFont>

/// The windows' own font, "MS Sans Serif" at 11 pixels. Full hinting drops
/// strokes from the CJK glyphs at this size ("开" loses its crossbars), so
/// glyphs are placed without hinting; they stay unantialiased.
QFont WindowFont();

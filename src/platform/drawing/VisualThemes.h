#pragma once
// Whether the desktop draws controls with a visual theme, and the theme's
// border colour for edit fields. This desktop draws the classic look (the
// system colour table), so themes start inactive; a theme engine or a test
// may switch them on.

#include "platform/drawing/Color.h"

namespace VisualThemes {
bool active();
void setActive(bool active);
/// Border colour of edit fields under the active theme; the button face without one.
TColor editBorderColor();
} // namespace VisualThemes

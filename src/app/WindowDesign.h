#pragma once
// What the tool's two windows share while they lay themselves out from their
// design data and take their place on the screen.

#include <span>

class QWidget;

/// A control's place in its parent's client area, in pixels.
struct ControlBounds {
    const char* name;
    int left;
    int top;
    int width;
    int height;
};

/// Gives each control named in the layout its position and size; a control
/// is found among the window's own children first, then deeper down.
void ApplyLayout(QWidget& window, std::span<const ControlBounds> layout);

/// Fills the window's background in the face colour of buttons.
void UseButtonFaceBackground(QWidget& window);

/// Moves the window so that its frame sits in the middle of its screen.
void CentreOnScreen(QWidget& window);

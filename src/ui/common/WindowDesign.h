#pragma once
// What the tool's two windows share while they lay themselves out from their
// design data and take their place on the screen.

#include <QLatin1String>
#include <QWidget>
#include <span>

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

/// Creates a control in its parent under its design name.
template <typename Control> Control* NewControl(QWidget* parent, const char* name) {
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    return control;
}

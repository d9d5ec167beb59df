#include "platform/drawing/Keys.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<int, std::uint16_t>, 20> kNamedKeys = {{
    {Qt::Key_Backspace, VirtualKey::Back},  {Qt::Key_Tab, VirtualKey::Tab},
    {Qt::Key_Backtab, VirtualKey::Tab},     {Qt::Key_Return, VirtualKey::Return},
    {Qt::Key_Enter, VirtualKey::Return},    {Qt::Key_Shift, VirtualKey::Shift},
    {Qt::Key_Control, VirtualKey::Control}, {Qt::Key_Alt, VirtualKey::Menu},
    {Qt::Key_Escape, VirtualKey::Escape},   {Qt::Key_Space, VirtualKey::Space},
    {Qt::Key_PageUp, VirtualKey::Prior},    {Qt::Key_PageDown, VirtualKey::Next},
    {Qt::Key_End, VirtualKey::End},         {Qt::Key_Home, VirtualKey::Home},
    {Qt::Key_Left, VirtualKey::Left},       {Qt::Key_Up, VirtualKey::Up},
    {Qt::Key_Right, VirtualKey::Right},     {Qt::Key_Down, VirtualKey::Down},
    {Qt::Key_Insert, VirtualKey::Insert},   {Qt::Key_Delete, VirtualKey::Delete},
}};

constexpr int kFunctionKeyCount = 24;

} // namespace

std::uint16_t virtualKeyOf(const QKeyEvent& event) {
    const int key = event.key();
    for (const auto& [qtKey, virtualKey] : kNamedKeys) {
        if (key == qtKey) {
            return virtualKey;
        }
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return static_cast<std::uint16_t>(key); // Qt uses the upper-case ASCII code too
    }
    if (key >= Qt::Key_F1 && key < Qt::Key_F1 + kFunctionKeyCount) {
        return static_cast<std::uint16_t>(VirtualKey::F1 + (key - Qt::Key_F1));
    }
    return 0;
}

char16_t keyCharOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::AltModifier) {
        return 0; // Alt+key is a menu or accelerator key, not a character
    }
    const int key = event.key();
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    default:
        break;
    }
    if (modifiers & Qt::ControlModifier) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            return static_cast<char16_t>(key - Qt::Key_A + 1);
        }
        return 0;
    }
    const QString text = event.text();
    if (text.isEmpty() || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7F) {
        return 0;
    }
    return text.at(0).unicode();
}

TShiftState shiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    TShiftState state = 0;
    if (modifiers & Qt::ShiftModifier) {
        state |= ssShift;
    }
    if (modifiers & Qt::AltModifier) {
        state |= ssAlt;
    }
    if (modifiers & Qt::ControlModifier) {
        state |= ssCtrl;
    }
    if (buttons & Qt::LeftButton) {
        state |= ssLeft;
    }
    if (buttons & Qt::RightButton) {
        state |= ssRight;
    }
    if (buttons & Qt::MiddleButton) {
        state |= ssMiddle;
    }
    return state;
}

bool mouseButtonOf(Qt::MouseButton button, TMouseButton& result) {
    switch (button) {
    case Qt::LeftButton:
        result = mbLeft;
        return true;
    case Qt::RightButton:
        result = mbRight;
        return true;
    case Qt::MiddleButton:
        result = mbMiddle;
        return true;
    default:
        return false;
    }
}

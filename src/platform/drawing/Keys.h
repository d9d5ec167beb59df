#pragma once
// Keyboard and mouse input in the terms the controls were written against:
// virtual key codes (VK_LEFT = 37 ...), character codes in which Ctrl+A is 1,
// Backspace 8, Enter 13 and Escape 27, and the shift-state set that travels
// with every key and mouse event.

#include <QKeyEvent>
#include <QMouseEvent>
#include <cstdint>

using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;
inline constexpr TShiftState ssDouble = 0x40;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

namespace VirtualKey {
inline constexpr std::uint16_t Back = 0x08;
inline constexpr std::uint16_t Tab = 0x09;
inline constexpr std::uint16_t Return = 0x0D;
inline constexpr std::uint16_t Shift = 0x10;
inline constexpr std::uint16_t Control = 0x11;
inline constexpr std::uint16_t Menu = 0x12;
inline constexpr std::uint16_t Escape = 0x1B;
inline constexpr std::uint16_t Space = 0x20;
inline constexpr std::uint16_t Prior = 0x21;
inline constexpr std::uint16_t Next = 0x22;
inline constexpr std::uint16_t End = 0x23;
inline constexpr std::uint16_t Home = 0x24;
inline constexpr std::uint16_t Left = 0x25;
inline constexpr std::uint16_t Up = 0x26;
inline constexpr std::uint16_t Right = 0x27;
inline constexpr std::uint16_t Down = 0x28;
inline constexpr std::uint16_t Insert = 0x2D;
inline constexpr std::uint16_t Delete = 0x2E;
inline constexpr std::uint16_t F1 = 0x70;
} // namespace VirtualKey

/// The virtual key code of a key event: letters and digits are their upper-case
/// ASCII codes, the rest as in VirtualKey; 0 for keys without a code.
std::uint16_t virtualKeyOf(const QKeyEvent& event);

/// The character a key press produces in the old message flow: control codes
/// for Ctrl+letter (Ctrl+A = 1 ... Ctrl+Z = 26), 8 for Backspace, 9 for Tab,
/// 13 for Enter, 27 for Escape, otherwise the first character of the event's
/// text; 0 when the key produces no character (arrows, function keys, Alt+key).
char16_t keyCharOf(const QKeyEvent& event);

TShiftState shiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = {});

/// The button of a mouse event; false for buttons the controls do not know.
bool mouseButtonOf(Qt::MouseButton button, TMouseButton& result);

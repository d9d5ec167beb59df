#pragma once
// Types shared by the instrument widgets: style enumerations, the text
// options of the base's text routine and the event handler signatures.

#include "platform/drawing/Keys.h"

#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>

class QObject;

enum TiBevelStyle { ibsNone, ibsRaised, ibsLowered };
enum TiAlignmentHorizontal { iahCenter, iahLeft, iahRight };

enum TAnchorKind : unsigned { akLeft = 0x1, akTop = 0x2, akRight = 0x4, akBottom = 0x8 };
using TAnchors = unsigned;

/// Size limits of a control; 0 means no limit.
struct TSizeConstraints {
    int MinWidth = 0;
    int MinHeight = 0;
    int MaxWidth = 0;
    int MaxHeight = 0;
    bool operator==(const TSizeConstraints&) const = default;
};

/// Options of TiComponent::DrawTextInRect. Left alignment is the absence of
/// Center and Right; without ShowPrefix an ampersand prints as it stands.
namespace TextOption {
inline constexpr unsigned Center = 0x001;
inline constexpr unsigned Right = 0x002;
inline constexpr unsigned VCenter = 0x004; ///< takes effect on single-line text only
inline constexpr unsigned Bottom = 0x008;
inline constexpr unsigned WordBreak = 0x010;
inline constexpr unsigned SingleLine = 0x020;
inline constexpr unsigned NoClip = 0x040;
inline constexpr unsigned ShowPrefix = 0x080;
inline constexpr unsigned CalcRect = 0x100; ///< measure only
} // namespace TextOption

enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };

using TNotifyEvent = std::function<void(QObject* sender)>;
using TMouseEvent =
    std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(QObject* sender, std::uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(QObject* sender, char16_t& key)>;
using TDragOverEvent = std::function<void(QObject* sender, QObject* source, int x, int y,
                                          TDragState state, bool& accept)>;
using TDragDropEvent = std::function<void(QObject* sender, QObject* source, int x, int y)>;
using TStartDragEvent = std::function<void(QObject* sender)>;
using TEndDragEvent = std::function<void(QObject* sender, QObject* target, int x, int y)>;

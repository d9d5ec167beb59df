#include "poll/TrafficEvent.h"

#include <array>

namespace {

// In TrafficVerdict order.
constexpr std::array<const char*, TrafficVerdictCount> VerdictNames = {
    "sent",        "write-failed", "ok",        "bad-crc",    "wrong-address",
    "wrong-count", "exception",    "overflow",  "unexpected", "no-reply",
    "incomplete",  "echo",         "line-lost", "line-back",  "late",
};

constexpr char16_t HexDigits[] = u"0123456789ABCDEF";

} // namespace

QString TrafficDirectionText(TrafficDirection direction) {
    switch (direction) {
    case TrafficDirection::Tx:
        return QStringLiteral("Tx");
    case TrafficDirection::Rx:
        return QStringLiteral("Rx");
    case TrafficDirection::NoReply:
        return QStringLiteral("--");
    }
    return {};
}

QString TrafficVerdictText(TrafficVerdict verdict, std::uint8_t exceptionCode) {
    QString text = QString::fromLatin1(VerdictNames[static_cast<std::size_t>(verdict)]);
    if (verdict == TrafficVerdict::Exception) {
        text += u'-';
        text += QChar(HexDigits[exceptionCode >> 4]);
        text += QChar(HexDigits[exceptionCode & 0x0F]);
    }
    return text;
}

QString TrafficBytesText(const std::uint8_t* bytes, std::size_t count) {
    // Built character by character: every frame on the line passes through
    // here, so it must not cost more than the frame itself.
    QString text;
    text.reserve(static_cast<qsizetype>(3 * count));
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += u' ';
        }
        text += QChar(HexDigits[bytes[i] >> 4]);
        text += QChar(HexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

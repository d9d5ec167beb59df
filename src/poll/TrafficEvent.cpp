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
    // Written straight into a string of its final length: every frame on the
    // line passes through here, and appending character by character cost a
    // third of a poll's instructions.
    if (count == 0) {
        return {};
    }
    QString text(static_cast<qsizetype>(3 * count - 1), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            *out++ = u' ';
        }
        *out++ = QChar(HexDigits[bytes[i] >> 4]);
        *out++ = QChar(HexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

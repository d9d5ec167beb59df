#include "widgets/instrument/IntegerFormat.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int hexDigits = 8;
constexpr int binaryDigits = 32;
// Eleven octal digits hold all 32 bits (the top digit carries two of them).
constexpr int octalDigits = 11;
constexpr std::uint64_t unsigned32Limit = 0xFFFFFFFFull;

int digitsOf(TiIntegerFormatStyle style) {
    switch (style) {
    case iifsHex:
        return hexDigits;
    case iifsBinary:
        return binaryDigits;
    case iifsOctal:
        return octalDigits;
    case iifsInteger:
        break;
    }
    return 0;
}

QString unsignedText(std::uint32_t bits, int base, int digits) {
    return QString::number(bits, base).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// Digit value of a character in the given base, or -1 when it is none.
int digitValue(QChar character, int base) {
    const char16_t code = character.unicode();
    int value = -1;
    if (code >= u'0' && code <= u'9') {
        value = code - u'0';
    } else if (code >= u'a' && code <= u'f') {
        value = code - u'a' + 10;
    } else if (code >= u'A' && code <= u'F') {
        value = code - u'A' + 10;
    }
    return value < base ? value : -1;
}

// Accumulates unsigned digits with an overflow check; the limit is inclusive.
std::optional<std::uint64_t> readDigits(QStringView digits, int base, std::uint64_t limit) {
    std::uint64_t result = 0;
    for (QChar character : digits) {
        const int value = digitValue(character, base);
        if (value < 0) {
            return std::nullopt;
        }
        result = result * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(value);
        if (result > limit) {
            return std::nullopt;
        }
    }
    return result;
}

// Binary and octal text is read as 32 raw bits, so that the text of a negative
// value reads back as that value. Empty text is 0.
std::optional<std::int32_t> readBits(QStringView digits, int base) {
    const auto bits = readDigits(digits, base, unsigned32Limit);
    if (!bits) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*bits));
}

// The signed conversion of the decimal field: leading blanks, an optional
// sign, then decimal digits or "$" and hexadecimal digits. Decimal must fit the
// signed 32-bit range; hexadecimal is taken as 32 raw bits, as it is written.
std::optional<std::int32_t> readSigned(QStringView text) {
    qsizetype position = 0;
    while (position < text.size() && text[position] == QLatin1Char(' ')) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == u'-' || text[position] == u'+')) {
        negative = text[position] == u'-';
        ++position;
    }
    if (position < text.size() && text[position] == u'$') {
        const QStringView digits = text.mid(position + 1);
        const auto bits = digits.isEmpty() ? std::nullopt : readDigits(digits, 16, unsigned32Limit);
        if (!bits) {
            return std::nullopt;
        }
        const auto raw = static_cast<std::uint32_t>(*bits);
        return static_cast<std::int32_t>(negative ? 0u - raw : raw);
    }
    const QStringView digits = text.mid(position);
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 31 : std::uint64_t{std::numeric_limits<std::int32_t>::max()};
    const auto magnitude = digits.isEmpty() ? std::nullopt : readDigits(digits, 10, limit);
    if (!magnitude) {
        return std::nullopt;
    }
    const auto signedMagnitude = static_cast<std::int64_t>(*magnitude);
    return static_cast<std::int32_t>(negative ? -signedMagnitude : signedMagnitude);
}

} // namespace

namespace IntegerFormat {

int paddingWidth(TiIntegerFormatStyle style, int maxLength) {
    const int digits = digitsOf(style);
    if (digits == 0) {
        return maxLength;
    }
    return maxLength > 0 ? std::min(maxLength, digits) : digits;
}

QString FormatValue(std::int32_t value, TiIntegerFormatStyle style, int maxLength,
                    bool leadingZeros) {
    const auto bits = static_cast<std::uint32_t>(value);
    QString text;
    switch (style) {
    case iifsInteger:
        text = QString::number(value);
        break;
    case iifsHex:
        text = unsignedText(bits, 16, hexDigits);
        break;
    case iifsBinary:
        text = unsignedText(bits, 2, binaryDigits);
        break;
    case iifsOctal:
        text = unsignedText(bits, 8, octalDigits);
        break;
    }
    // A minus sign stays in front: the zeros go between it and the digits.
    const bool negative = text.startsWith(u'-');
    QString digits = negative ? text.mid(1) : text;
    while (digits.startsWith(u'0')) {
        digits.remove(0, 1);
    }
    if (leadingZeros) {
        const int width = paddingWidth(style, maxLength) - (negative ? 1 : 0);
        if (digits.size() < width) {
            digits = digits.rightJustified(width, QLatin1Char('0'));
        }
    }
    if (digits.isEmpty()) {
        return QStringLiteral("0");
    }
    return negative ? QStringLiteral("-") + digits : digits;
}

std::optional<std::int32_t> ParseText(const QString& text, TiIntegerFormatStyle style) {
    switch (style) {
    case iifsInteger:
        if (text.startsWith(u'b')) {
            return readBits(QStringView(text).mid(1), 2);
        }
        if (text.startsWith(u'o')) {
            return readBits(QStringView(text).mid(1), 8);
        }
        return readSigned(text);
    case iifsHex:
        return readSigned(QString(QStringLiteral("$") + text));
    case iifsBinary:
        return readBits(text, 2);
    case iifsOctal:
        return readBits(text, 8);
    }
    return std::nullopt;
}

bool IsValidChar(QChar character, TiIntegerFormatStyle style) {
    switch (style) {
    case iifsInteger:
        return digitValue(character, 10) >= 0;
    case iifsHex:
        return digitValue(character, 16) >= 0;
    case iifsBinary:
        return digitValue(character, 2) >= 0;
    case iifsOctal:
        return digitValue(character, 8) >= 0;
    }
    return false;
}

} // namespace IntegerFormat

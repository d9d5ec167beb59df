#pragma once
// Notation of the integer entry field: turning a value into its text, reading
// typed or pasted text back, and the characters a key may add. Plain functions
// so that every notation can be checked without a window.

#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>

enum TiIntegerFormatStyle { iifsInteger, iifsHex, iifsBinary, iifsOctal };

namespace IntegerFormat {

/// Width to pad to with leading zeros: MaxLength for decimal text, otherwise
/// MaxLength capped at the digit count of the notation (all of them when 0).
int paddingWidth(TiIntegerFormatStyle style, int maxLength);

/// The canonical text of a value: decimal, or all 32 bits as 8 hexadecimal
/// (upper case), 32 binary or 11 octal digits; leading zeros stripped, then,
/// with leadingZeros, padded to paddingWidth. Never empty: 0 shows "0".
QString FormatValue(std::int32_t value, TiIntegerFormatStyle style, int maxLength,
                    bool leadingZeros);

/// Reads a text in the given notation; no value when the text is not a number
/// of that notation or does not fit 32 bits. Decimal text may carry a sign, a
/// "$" hexadecimal prefix, or the "b" (binary) and "o" (octal) prefixes that
/// only pasting can produce. Empty binary or octal text reads as 0.
std::optional<std::int32_t> ParseText(const QString& text, TiIntegerFormatStyle style);

/// True when a typed character belongs to the notation; there is no sign key.
bool IsValidChar(QChar character, TiIntegerFormatStyle style);

} // namespace IntegerFormat

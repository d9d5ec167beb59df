#include "serial/ComTypes.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 16> baudRateTexts = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
constexpr std::array<int, 16> baudRateValues = {0,     110,    300,    600,   1200,  2400,
                                                4800,  9600,   14400,  19200, 38400, 56000,
                                                57600, 115200, 128000, 256000};
constexpr std::array<std::string_view, 3> stopBitsTexts = {"1", "1.5", "2"};
constexpr std::array<std::string_view, 4> dataBitsTexts = {"5", "6", "7", "8"};
constexpr std::array<std::string_view, 5> parityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<std::string_view, 4> flowControlTexts = {"Hardware", "Software", "None",
                                                              "Custom"};
constexpr std::array<std::string_view, 3> dtrTexts = {"Disable", "Enable", "Handshake"};
constexpr std::array<std::string_view, 4> rtsTexts = {"Disable", "Enable", "Handshake", "Toggle"};

std::string upperCase(std::string_view text) {
    std::string result(text);
    for (char& character : result) {
        if (character >= 'a' && character <= 'z') {
            character = char(character - 'a' + 'A');
        }
    }
    return result;
}

// A value read from a file or cast from a number may lie outside the table;
// such a value has no text rather than reading past the end.
template <std::size_t Size>
std::string nameOf(const std::array<std::string_view, Size>& texts, unsigned value) {
    return value < Size ? std::string(texts[value]) : std::string();
}

template <typename Enum, std::size_t Size>
Enum parseOf(const std::array<std::string_view, Size>& texts, const std::string& text,
             Enum fallback) {
    const std::string wanted = upperCase(text);
    for (std::size_t index = 0; index < Size; ++index) {
        if (upperCase(texts[index]) == wanted) {
            return Enum(index);
        }
    }
    return fallback;
}

} // namespace

int BaudRateValue(TBaudRate value) {
    return value < baudRateValues.size() ? baudRateValues[value] : 0;
}

std::string BaudRateName(TBaudRate value) {
    return nameOf(baudRateTexts, value);
}
TBaudRate ParseBaudRate(const std::string& text) {
    return parseOf(baudRateTexts, text, br9600);
}
std::string StopBitsName(TStopBits value) {
    return nameOf(stopBitsTexts, value);
}
TStopBits ParseStopBits(const std::string& text) {
    return parseOf(stopBitsTexts, text, sbOneStopBit);
}
std::string DataBitsName(TDataBits value) {
    return nameOf(dataBitsTexts, value);
}
TDataBits ParseDataBits(const std::string& text) {
    return parseOf(dataBitsTexts, text, dbEight);
}
std::string ParityName(TParityBits value) {
    return nameOf(parityTexts, value);
}
TParityBits ParseParity(const std::string& text) {
    return parseOf(parityTexts, text, prNone);
}
std::string FlowControlName(TFlowControl value) {
    return nameOf(flowControlTexts, value);
}
TFlowControl ParseFlowControl(const std::string& text) {
    return parseOf(flowControlTexts, text, fcCustom);
}
std::string DTRControlName(TDTRFlowControl value) {
    return nameOf(dtrTexts, value);
}
TDTRFlowControl ParseDTRControl(const std::string& text) {
    return parseOf(dtrTexts, text, dtrDisable);
}
std::string RTSControlName(TRTSFlowControl value) {
    return nameOf(rtsTexts, value);
}
TRTSFlowControl ParseRTSControl(const std::string& text) {
    return parseOf(rtsTexts, text, rtsDisable);
}

std::string YesNoName(bool value) {
    return value ? "Yes" : "No";
}
bool ParseYesNo(const std::string& text) {
    return upperCase(text) == "YES";
}

std::string CharName(std::uint8_t value) {
    if (value >= 33 && value <= 127) {
        return std::string(1, char(value));
    }
    // Appended rather than written "#" + std::to_string(value): GCC 12 takes
    // that form for an overlapping copy at -O3 and warns (-Wrestrict).
    std::string name(1, '#');
    name += std::to_string(value);
    return name;
}

std::uint8_t ParseCharName(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    if (text[0] == '#' && text.size() > 1) {
        // The whole rest must be a decimal 32-bit integer; anything else,
        // a number out of that range included, counts as 0.
        std::int32_t number = 0;
        const char* first = text.data() + 1;
        const char* last = text.data() + text.size();
        if (*first == '+') {
            ++first;
        }
        const auto [end, error] = std::from_chars(first, last, number);
        if (error != std::errc() || end != last || first == last) {
            return 0;
        }
        return std::uint8_t(number & 0xFF);
    }
    return std::uint8_t(text[0]);
}

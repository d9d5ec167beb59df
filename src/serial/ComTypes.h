#pragma once
// Enumerations of the serial port component, their fixed text forms and the
// conversions between the two. The ordinal values are stored and relied on
// elsewhere (the poll cycle indexes by TBaudRate), so never reorder them.

#include <cstdint>
#include <initializer_list>
#include <string>

enum TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent : std::uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TComError : std::uint8_t {
    ceFrame,
    ceRxParity,
    ceOverrun,
    ceBreak,
    ceIO,
    ceMode,
    ceRxOver,
    ceTxFull
};
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };
enum TSettingsStore : std::uint8_t { ssRegistry, ssIniFile };
enum TSettingsGroup : std::uint8_t {
    sgBasic,
    sgFlowControl,
    sgBuffer,
    sgTimeouts,
    sgParity,
    sgOthers
};

/// A small set over one of the enumerations above: bit n stands for value n.
template <typename Enum, typename Bits> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<Enum> values) {
        for (Enum value : values) {
            Include(value);
        }
    }
    static constexpr TEnumSet FromBits(Bits bits) {
        TEnumSet set;
        set.m_bits = bits;
        return set;
    }

    constexpr Bits ToBits() const { return m_bits; }
    constexpr bool Contains(Enum value) const { return (m_bits >> value) & 1U; }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr void Include(Enum value) { m_bits = Bits(m_bits | (Bits(1) << value)); }
    constexpr void Exclude(Enum value) { m_bits = Bits(m_bits & ~(Bits(1) << value)); }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    Bits m_bits = 0;
};

using TComEvents = TEnumSet<TComEvent, std::uint16_t>;
using TComErrors = TEnumSet<TComError, std::uint8_t>;
using TSettingsGroups = TEnumSet<TSettingsGroup, std::uint8_t>;

/// All ten line events (0x03FF).
constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

/// The input lines reported by ModemLines: CTS bit 0, DSR bit 1, ring bit 2, RLSD bit 3.
enum TLineState : std::uint8_t { lsCTS, lsDSR, lsRing, lsRLSD };
using TLineStates = TEnumSet<TLineState, std::uint8_t>;

/// The speed in bits per second that a TBaudRate names; brCustom (and any
/// value outside the table) gives 0, since the custom rate lives elsewhere.
int BaudRateValue(TBaudRate value);

std::string BaudRateName(TBaudRate value);
TBaudRate ParseBaudRate(const std::string& text);
std::string StopBitsName(TStopBits value);
TStopBits ParseStopBits(const std::string& text);
std::string DataBitsName(TDataBits value);
TDataBits ParseDataBits(const std::string& text);
std::string ParityName(TParityBits value);
TParityBits ParseParity(const std::string& text);
std::string FlowControlName(TFlowControl value);
TFlowControl ParseFlowControl(const std::string& text);
std::string DTRControlName(TDTRFlowControl value);
TDTRFlowControl ParseDTRControl(const std::string& text);
std::string RTSControlName(TRTSFlowControl value);
TRTSFlowControl ParseRTSControl(const std::string& text);
std::string YesNoName(bool value);
bool ParseYesNo(const std::string& text);

/// Codes 33 to 127 as the character itself, every other code as "#" + decimal.
std::string CharName(std::uint8_t value);
std::uint8_t ParseCharName(const std::string& text);

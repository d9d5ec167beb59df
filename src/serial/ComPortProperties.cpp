#include "serial/ComPortProperties.h"

#include "serial/ComPort.h"

#include <array>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 16> baudRateIdentifiers = {
    "brCustom", "br110",   "br300",   "br600",   "br1200",  "br2400",   "br4800",   "br9600",
    "br14400",  "br19200", "br38400", "br56000", "br57600", "br115200", "br128000", "br256000"};
constexpr std::array<std::string_view, 3> stopBitsIdentifiers = {"sbOneStopBit", "sbOne5StopBits",
                                                                 "sbTwoStopBits"};
constexpr std::array<std::string_view, 4> dataBitsIdentifiers = {"dbFive", "dbSix", "dbSeven",
                                                                 "dbEight"};
constexpr std::array<std::string_view, 5> parityIdentifiers = {"prNone", "prOdd", "prEven",
                                                               "prMark", "prSpace"};
constexpr std::array<std::string_view, 3> dtrIdentifiers = {"dtrDisable", "dtrEnable",
                                                            "dtrHandshake"};
constexpr std::array<std::string_view, 4> rtsIdentifiers = {"rtsDisable", "rtsEnable",
                                                            "rtsHandshake", "rtsToggle"};
constexpr std::array<std::string_view, 10> eventIdentifiers = {
    "evRxChar", "evTxEmpty", "evRxFlag", "evRing", "evBreak",
    "evCTS",    "evDSR",     "evError",  "evRLSD", "evRx80Full"};
constexpr std::array<std::string_view, 3> syncIdentifiers = {"smThreadSync", "smWindowSync",
                                                             "smNone"};

template <std::size_t Size>
std::string identifier(const std::array<std::string_view, Size>& names, unsigned value) {
    return value < Size ? std::string(names[value]) : std::to_string(value);
}

std::string boolean(bool value) {
    return value ? "True" : "False";
}

// Quoted string; a quote inside is doubled, non-printable bytes are written
// as #code outside the quotes.
// Built by appending: GCC 12 warns (-Wrestrict, wrongly) about "#" + a
// temporary string in optimised builds.
std::string character(std::uint8_t code) {
    std::string result = "#";
    result += std::to_string(code);
    return result;
}

std::string quoted(const std::string& text) {
    std::string result;
    bool open = false;
    for (const char letter : text) {
        const auto code = static_cast<unsigned char>(letter);
        if (code < 32) {
            if (open) {
                result += '\'';
                open = false;
            }
            result += character(code);
            continue;
        }
        if (!open) {
            result += '\'';
            open = true;
        }
        result += letter;
        if (letter == '\'') {
            result += '\'';
        }
    }
    if (open || result.empty()) {
        result += open ? "'" : "''";
    }
    return result;
}

std::string eventSet(TComEvents events) {
    std::string result = "[";
    for (unsigned event = 0; event < eventIdentifiers.size(); ++event) {
        if (events.Contains(TComEvent(event))) {
            if (result.size() > 1) {
                result += ", ";
            }
            result += eventIdentifiers[event];
        }
    }
    return result + "]";
}

class Writer {
public:
    void always(const std::string& name, const std::string& value) {
        m_values.push_back({name, value});
    }
    template <typename Value>
    void unlessDefault(const std::string& name, Value value, Value fallback,
                       const std::string& text) {
        if (value != fallback) {
            always(name, text);
        }
    }
    std::vector<TPublishedValue> take() { return std::move(m_values); }

private:
    std::vector<TPublishedValue> m_values;
};

} // namespace

const std::vector<std::string>& PublishedPropertyNames() {
    static const std::vector<std::string> names = {
        "Connected",    "BaudRate",      "Port",        "Parity",      "StopBits",
        "DataBits",     "DiscardNull",   "EventChar",   "Events",      "Buffer",
        "FlowControl",  "Timeouts",      "SyncMethod",  "OnAfterOpen", "OnAfterClose",
        "OnBeforeOpen", "OnBeforeClose", "OnRxChar",    "OnRxBuf",     "OnTxEmpty",
        "OnBreak",      "OnRing",        "OnCTSChange", "OnDSRChange", "OnRLSDChange",
        "OnRxFlag",     "OnError",       "OnRx80Full"};
    return names;
}

std::vector<TPublishedValue> StoredPublishedValues(const TCustomComPort& port) {
    Writer out;
    out.unlessDefault("Connected", port.Connected(), false, boolean(port.Connected()));
    out.always("BaudRate", identifier(baudRateIdentifiers, port.BaudRate()));
    out.always("Port", quoted(port.Port()));
    const TComParity& parity = port.Parity();
    out.always("Parity.Bits", identifier(parityIdentifiers, parity.Bits()));
    out.unlessDefault("Parity.Check", parity.Check(), false, boolean(parity.Check()));
    out.unlessDefault("Parity.Replace", parity.Replace(), false, boolean(parity.Replace()));
    out.unlessDefault("Parity.ReplaceChar", parity.ReplaceChar(), std::uint8_t(0),
                      character(parity.ReplaceChar()));
    out.always("StopBits", identifier(stopBitsIdentifiers, port.StopBits()));
    out.always("DataBits", identifier(dataBitsIdentifiers, port.DataBits()));
    out.unlessDefault("DiscardNull", port.DiscardNull(), false, boolean(port.DiscardNull()));
    out.unlessDefault("EventChar", port.EventChar(), std::uint8_t(0), character(port.EventChar()));
    out.always("Events", eventSet(port.Events()));
    const TComBuffer& buffer = port.Buffer();
    out.unlessDefault("Buffer.InputSize", buffer.InputSize(), 1024,
                      std::to_string(buffer.InputSize()));
    out.unlessDefault("Buffer.OutputSize", buffer.OutputSize(), 1024,
                      std::to_string(buffer.OutputSize()));
    const TComFlowControl& flow = port.FlowControl();
    out.always("FlowControl.OutCTSFlow", boolean(flow.OutCTSFlow()));
    out.always("FlowControl.OutDSRFlow", boolean(flow.OutDSRFlow()));
    out.always("FlowControl.ControlDTR", identifier(dtrIdentifiers, flow.ControlDTR()));
    out.always("FlowControl.ControlRTS", identifier(rtsIdentifiers, flow.ControlRTS()));
    out.always("FlowControl.XonXoffOut", boolean(flow.XonXoffOut()));
    out.always("FlowControl.XonXoffIn", boolean(flow.XonXoffIn()));
    out.unlessDefault("FlowControl.DSRSensitivity", flow.DSRSensitivity(), false,
                      boolean(flow.DSRSensitivity()));
    out.unlessDefault("FlowControl.TxContinueOnXoff", flow.TxContinueOnXoff(), false,
                      boolean(flow.TxContinueOnXoff()));
    out.unlessDefault("FlowControl.XonChar", flow.XonChar(), std::uint8_t(17),
                      character(flow.XonChar()));
    out.unlessDefault("FlowControl.XoffChar", flow.XoffChar(), std::uint8_t(19),
                      character(flow.XoffChar()));
    const TComTimeouts& timeouts = port.Timeouts();
    out.unlessDefault("Timeouts.ReadInterval", timeouts.ReadInterval(), -1,
                      std::to_string(timeouts.ReadInterval()));
    out.unlessDefault("Timeouts.ReadTotalMultiplier", timeouts.ReadTotalMultiplier(), 0,
                      std::to_string(timeouts.ReadTotalMultiplier()));
    out.unlessDefault("Timeouts.ReadTotalConstant", timeouts.ReadTotalConstant(), 0,
                      std::to_string(timeouts.ReadTotalConstant()));
    out.unlessDefault("Timeouts.WriteTotalMultiplier", timeouts.WriteTotalMultiplier(), 100,
                      std::to_string(timeouts.WriteTotalMultiplier()));
    out.unlessDefault("Timeouts.WriteTotalConstant", timeouts.WriteTotalConstant(), 1000,
                      std::to_string(timeouts.WriteTotalConstant()));
    out.unlessDefault("SyncMethod", port.SyncMethod(), smThreadSync,
                      identifier(syncIdentifiers, port.SyncMethod()));
    return out.take();
}

#include "serial/ComPortSettings.h"

#include "platform/storage/IniFile.h"
#include "platform/storage/RegistryStore.h"
#include "serial/ComPort.h"

#include <QString>
#include <exception>

namespace {

// Only these two root names are recognised; anything else keeps the
// current user's root, as does a location without a key path.
constexpr char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE";
constexpr std::int32_t kIniCustomBaudRateDefault = 9600;
constexpr char kAdapterIdentityName[] = "AdapterIdentity";

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

// The adapter identity is a value added to the basic group. It is written
// only for a port that has one (or to clear one stored before), so a port
// without a USB adapter stores exactly the values it always did.
void saveAdapterIdentity(const TCustomComPort& port, SettingsValueStore& store) {
    const std::string text = port.AdapterIdentity().toText().toStdString();
    if (text.empty() && store.readText(kAdapterIdentityName, std::string()).empty())
        return;
    store.writeText(kAdapterIdentityName, text);
}

void saveBasic(const TCustomComPort& port, SettingsValueStore& store) {
    store.writeText("Port", port.Port());
    store.writeText("BaudRate", BaudRateName(port.BaudRate()));
    if (port.BaudRate() == brCustom)
        store.writeNumber("CustomBaudRate", port.CustomBaudRate());
    store.writeText("StopBits", StopBitsName(port.StopBits()));
    store.writeText("DataBits", DataBitsName(port.DataBits()));
    store.writeText("Parity", ParityName(port.Parity().Bits()));
    store.writeText("FlowControl", FlowControlName(port.FlowControl().FlowControl()));
    saveAdapterIdentity(port, store);
}

void saveOthers(const TCustomComPort& port, SettingsValueStore& store) {
    store.writeText("EventChar", CharName(port.EventChar()));
    store.writeText("DiscardNull", YesNoName(port.DiscardNull()));
}

void saveParity(const TComParity& parity, SettingsValueStore& store) {
    store.writeText("Parity.Check", YesNoName(parity.Check()));
    store.writeText("Parity.Replace", YesNoName(parity.Replace()));
    store.writeText("Parity.ReplaceChar", CharName(parity.ReplaceChar()));
}

void saveBuffer(const TComBuffer& buffer, SettingsValueStore& store) {
    store.writeNumber("Buffer.OutputSize", buffer.OutputSize());
    store.writeNumber("Buffer.InputSize", buffer.InputSize());
}

void saveTimeouts(const TComTimeouts& timeouts, SettingsValueStore& store) {
    store.writeNumber("Timeouts.ReadInterval", timeouts.ReadInterval());
    store.writeNumber("Timeouts.ReadTotalConstant", timeouts.ReadTotalConstant());
    store.writeNumber("Timeouts.ReadTotalMultiplier", timeouts.ReadTotalMultiplier());
    store.writeNumber("Timeouts.WriteTotalConstant", timeouts.WriteTotalConstant());
    store.writeNumber("Timeouts.WriteTotalMultiplier", timeouts.WriteTotalMultiplier());
}

void saveFlowControl(const TComFlowControl& flow, SettingsValueStore& store) {
    store.writeText("FlowControl.ControlRTS", RTSControlName(flow.ControlRTS()));
    store.writeText("FlowControl.ControlDTR", DTRControlName(flow.ControlDTR()));
    store.writeText("FlowControl.DSRSensitivity", YesNoName(flow.DSRSensitivity()));
    store.writeText("FlowControl.OutCTSFlow", YesNoName(flow.OutCTSFlow()));
    store.writeText("FlowControl.OutDSRFlow", YesNoName(flow.OutDSRFlow()));
    store.writeText("FlowControl.TxContinueOnXoff", YesNoName(flow.TxContinueOnXoff()));
    store.writeText("FlowControl.XonXoffIn", YesNoName(flow.XonXoffIn()));
    store.writeText("FlowControl.XonXoffOut", YesNoName(flow.XonXoffOut()));
    store.writeText("FlowControl.XoffChar", CharName(flow.XoffChar()));
    store.writeText("FlowControl.XonChar", CharName(flow.XonChar()));
}

bool readYesNo(SettingsValueStore& store, const char* name, bool current) {
    return ParseYesNo(store.readText(name, YesNoName(current)));
}

std::uint8_t readChar(SettingsValueStore& store, const char* name, std::uint8_t current) {
    return ParseCharName(store.readText(name, CharName(current)));
}

void restoreBasic(TCustomComPort& port, SettingsValueStore& store) {
    port.SetPort(store.readText("Port", port.Port()));
    port.SetBaudRate(ParseBaudRate(store.readText("BaudRate", BaudRateName(port.BaudRate()))));
    if (port.BaudRate() == brCustom)
        port.SetCustomBaudRate(store.readNumber("CustomBaudRate", kIniCustomBaudRateDefault));
    port.SetStopBits(ParseStopBits(store.readText("StopBits", StopBitsName(port.StopBits()))));
    port.SetDataBits(ParseDataBits(store.readText("DataBits", DataBitsName(port.DataBits()))));
    port.Parity().SetBits(ParseParity(store.readText("Parity", ParityName(port.Parity().Bits()))));
    TComFlowControl& flow = port.FlowControl();
    flow.SetFlowControl(
        ParseFlowControl(store.readText("FlowControl", FlowControlName(flow.FlowControl()))));
    // Read after the port name, which forgets any identity it had.
    const std::string identity =
        store.readText(kAdapterIdentityName, port.AdapterIdentity().toText().toStdString());
    port.SetAdapterIdentity(SerialAdapterIdentity::fromText(toQString(identity)));
}

void restoreOthers(TCustomComPort& port, SettingsValueStore& store) {
    port.SetEventChar(readChar(store, "EventChar", port.EventChar()));
    port.SetDiscardNull(readYesNo(store, "DiscardNull", port.DiscardNull()));
}

void restoreParity(TComParity& parity, SettingsValueStore& store) {
    parity.SetCheck(readYesNo(store, "Parity.Check", parity.Check()));
    parity.SetReplace(readYesNo(store, "Parity.Replace", parity.Replace()));
    parity.SetReplaceChar(readChar(store, "Parity.ReplaceChar", parity.ReplaceChar()));
}

void restoreBuffer(TComBuffer& buffer, SettingsValueStore& store) {
    buffer.SetOutputSize(store.readNumber("Buffer.OutputSize", buffer.OutputSize()));
    buffer.SetInputSize(store.readNumber("Buffer.InputSize", buffer.InputSize()));
}

void restoreTimeouts(TComTimeouts& timeouts, SettingsValueStore& store) {
    timeouts.SetReadInterval(store.readNumber("Timeouts.ReadInterval", timeouts.ReadInterval()));
    timeouts.SetReadTotalConstant(
        store.readNumber("Timeouts.ReadTotalConstant", timeouts.ReadTotalConstant()));
    timeouts.SetReadTotalMultiplier(
        store.readNumber("Timeouts.ReadTotalMultiplier", timeouts.ReadTotalMultiplier()));
    timeouts.SetWriteTotalConstant(
        store.readNumber("Timeouts.WriteTotalConstant", timeouts.WriteTotalConstant()));
    timeouts.SetWriteTotalMultiplier(
        store.readNumber("Timeouts.WriteTotalMultiplier", timeouts.WriteTotalMultiplier()));
}

void restoreFlowControl(TComFlowControl& flow, SettingsValueStore& store) {
    flow.SetControlRTS(ParseRTSControl(
        store.readText("FlowControl.ControlRTS", RTSControlName(flow.ControlRTS()))));
    flow.SetControlDTR(ParseDTRControl(
        store.readText("FlowControl.ControlDTR", DTRControlName(flow.ControlDTR()))));
    flow.SetDSRSensitivity(readYesNo(store, "FlowControl.DSRSensitivity", flow.DSRSensitivity()));
    flow.SetOutCTSFlow(readYesNo(store, "FlowControl.OutCTSFlow", flow.OutCTSFlow()));
    flow.SetOutDSRFlow(readYesNo(store, "FlowControl.OutDSRFlow", flow.OutDSRFlow()));
    flow.SetTxContinueOnXoff(
        readYesNo(store, "FlowControl.TxContinueOnXoff", flow.TxContinueOnXoff()));
    flow.SetXonXoffIn(readYesNo(store, "FlowControl.XonXoffIn", flow.XonXoffIn()));
    flow.SetXonXoffOut(readYesNo(store, "FlowControl.XonXoffOut", flow.XonXoffOut()));
    flow.SetXoffChar(readChar(store, "FlowControl.XoffChar", flow.XoffChar()));
    flow.SetXonChar(readChar(store, "FlowControl.XonChar", flow.XonChar()));
}

// Opens the location's key. Saving creates missing keys; restoring never
// writes, so it opens without creating and treats a missing key as empty.
// Returns false when the store itself is damaged or unreadable.
bool openRegistryLocation(RegistryStore& registry, const std::string& location,
                          const std::string& componentName, bool forSaving) {
    const RegistryLocation resolved = resolveRegistryLocation(location, componentName);
    if (!resolved.hasKey)
        return true;
    registry.setRoot(resolved.localMachine ? RegistryRoot::LocalMachine
                                           : RegistryRoot::CurrentUser);
    const RegistryError opened = registry.openKey(toQString(resolved.keyPath), forSaving);
    if (forSaving)
        return true; // a damaged store is replaced by a clean one
    return opened != RegistryError::Damaged && opened != RegistryError::SystemError;
}

} // namespace

void saveSettingGroups(const TCustomComPort& port, SettingsValueStore& store) {
    const TSettingsGroups groups = port.SavedGroups();
    if (groups.Contains(sgBasic))
        saveBasic(port, store);
    if (groups.Contains(sgOthers))
        saveOthers(port, store);
    if (groups.Contains(sgParity))
        saveParity(port.Parity(), store);
    if (groups.Contains(sgBuffer))
        saveBuffer(port.Buffer(), store);
    if (groups.Contains(sgTimeouts))
        saveTimeouts(port.Timeouts(), store);
    if (groups.Contains(sgFlowControl))
        saveFlowControl(port.FlowControl(), store);
}

void restoreSettingGroups(TCustomComPort& port, SettingsValueStore& store) {
    const TSettingsGroups groups = port.SavedGroups();
    if (groups.Contains(sgBasic))
        restoreBasic(port, store);
    if (groups.Contains(sgOthers))
        restoreOthers(port, store);
    if (groups.Contains(sgParity))
        restoreParity(port.Parity(), store);
    if (groups.Contains(sgBuffer))
        restoreBuffer(port.Buffer(), store);
    if (groups.Contains(sgTimeouts))
        restoreTimeouts(port.Timeouts(), store);
    if (groups.Contains(sgFlowControl))
        restoreFlowControl(port.FlowControl(), store);
}

void RegistryValueStore::writeText(const std::string& name, const std::string& text) {
    if (m_registry.writeText(toQString(name), toQString(text)) != RegistryError::None)
        throw EComPort(CError_StoreFailed);
}

void RegistryValueStore::writeNumber(const std::string& name, std::int32_t number) {
    if (m_registry.writeNumber(toQString(name), number) != RegistryError::None)
        throw EComPort(CError_StoreFailed);
}

std::string RegistryValueStore::readText(const std::string& name, const std::string&) {
    QString text;
    switch (m_registry.readText(toQString(name), text)) {
    case RegistryError::None:
        return text.toStdString();
    case RegistryError::NoOpenKey:
    case RegistryError::KeyMissing:
    case RegistryError::ValueMissing:
        return std::string();
    case RegistryError::WrongType:
    case RegistryError::InvalidName:
    case RegistryError::Damaged:
    case RegistryError::SystemError:
        break;
    }
    throw EComPort(CError_LoadFailed);
}

std::int32_t RegistryValueStore::readNumber(const std::string& name, std::int32_t) {
    std::int32_t number = 0;
    if (m_registry.readNumber(toQString(name), number) != RegistryError::None)
        throw EComPort(CError_LoadFailed);
    return number;
}

void IniValueStore::writeText(const std::string& name, const std::string& text) {
    if (!m_ini.writeString(toQString(m_section), toQString(name), toQString(text)))
        throw EComPort(CError_StoreFailed);
}

void IniValueStore::writeNumber(const std::string& name, std::int32_t number) {
    if (!m_ini.writeInteger(toQString(m_section), toQString(name), number))
        throw EComPort(CError_StoreFailed);
}

std::string IniValueStore::readText(const std::string& name, const std::string& current) {
    return m_ini.readString(toQString(m_section), toQString(name), toQString(current))
        .toStdString();
}

std::int32_t IniValueStore::readNumber(const std::string& name, std::int32_t current) {
    return m_ini.readInteger(toQString(m_section), toQString(name), current);
}

RegistryLocation resolveRegistryLocation(const std::string& location,
                                         const std::string& componentName) {
    RegistryLocation resolved;
    const std::size_t backslash = location.find('\\');
    if (backslash == std::string::npos)
        return resolved;
    resolved.hasKey = true;
    const QString root = toQString(location.substr(0, backslash));
    resolved.localMachine =
        root.compare(QLatin1String(kLocalMachineRoot), Qt::CaseInsensitive) == 0;
    // Any other root name, HKEY_CURRENT_USER included, gives the current user's root.
    resolved.keyPath = location.substr(backslash + 1);
    if (resolved.keyPath.empty() || resolved.keyPath.back() != '\\')
        resolved.keyPath += '\\';
    resolved.keyPath += componentName;
    return resolved;
}

void TCustomComPort::SaveToRegistry(RegistryStore& Registry) {
    RegistryValueStore store(Registry);
    saveSettingGroups(*this, store);
}

void TCustomComPort::SaveToIniFile(IniFile& Ini) {
    IniValueStore store(Ini, Name());
    saveSettingGroups(*this, store);
}

void TCustomComPort::RestoreFromRegistry(RegistryStore& Registry) {
    RegistryValueStore store(Registry);
    restoreSettingGroups(*this, store);
}

void TCustomComPort::RestoreFromIniFile(IniFile& Ini) {
    IniValueStore store(Ini, Name());
    restoreSettingGroups(*this, store);
}

void TCustomComPort::SaveSettings(TSettingsStore Store, const std::string& Location) {
    // Every failure, whatever its cause, is reported as one error; a failed
    // save writes nothing at all, so the store never holds half a save.
    try {
        if (Store == ssIniFile) {
            IniFile ini(toQString(Location));
            SaveToIniFile(ini);
            if (ini.save() != 0)
                throw EComPort(CError_StoreFailed);
            return;
        }
        RegistryStore registry;
        openRegistryLocation(registry, Location, Name(), true);
        try {
            SaveToRegistry(registry);
        } catch (...) {
            registry.discardChanges();
            throw;
        }
        if (registry.closeKey() != RegistryError::None)
            throw EComPort(CError_StoreFailed);
    } catch (...) {
        throw EComPort(CError_StoreFailed);
    }
}

void TCustomComPort::RestoreSettings(TSettingsStore Store, const std::string& Location) {
    // The hold makes an open port receive everything restored in one push.
    SuspendApply();
    bool failed = false;
    try {
        if (Store == ssIniFile) {
            IniFile ini(toQString(Location));
            if (ini.loadError() != 0)
                throw EComPort(CError_LoadFailed);
            RestoreFromIniFile(ini);
        } else {
            RegistryStore registry;
            if (!openRegistryLocation(registry, Location, Name(), false))
                throw EComPort(CError_LoadFailed);
            RestoreFromRegistry(registry);
        }
    } catch (...) {
        failed = true;
    }
    // Values assigned before a failure stay assigned and are pushed here too.
    try {
        ResumeApply();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw EComPort(CError_LoadFailed);
}

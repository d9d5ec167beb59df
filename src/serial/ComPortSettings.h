#pragma once
// Storing a port's settings as named texts and numbers, in the registry-shaped
// store or an INI file. The groups and value names, in the order in which they
// are written and read:
//
//   basic         Port, BaudRate, CustomBaudRate (only with the custom rate),
//                 StopBits, DataBits, Parity, FlowControl, AdapterIdentity (only
//                 for a port with a known USB adapter)
//   others        EventChar, DiscardNull
//   parity        Parity.Check, Parity.Replace, Parity.ReplaceChar
//   buffer        Buffer.OutputSize, Buffer.InputSize
//   timeouts      Timeouts.ReadInterval, .ReadTotalConstant, .ReadTotalMultiplier,
//                 .WriteTotalConstant, .WriteTotalMultiplier
//   flow control  FlowControl.ControlRTS, .ControlDTR, .DSRSensitivity, .OutCTSFlow,
//                 .OutDSRFlow, .TxContinueOnXoff, .XonXoffIn, .XonXoffOut,
//                 .XoffChar, .XonChar
//
// CustomBaudRate and the buffer and timeout values are numbers; everything
// else is text. The port's SaveSettings and RestoreSettings (declared with
// the port) use what is declared here.

#include "serial/ComTypes.h"

#include <cstdint>
#include <string>

class IniFile;
class RegistryStore;
class TCustomComPort;

/// Where the values go: one implementation per kind of store. Reads receive
/// the setting's current value, which a store may use as its default.
class SettingsValueStore {
public:
    virtual ~SettingsValueStore() = default;
    virtual void writeText(const std::string& name, const std::string& text) = 0;
    virtual void writeNumber(const std::string& name, std::int32_t number) = 0;
    virtual std::string readText(const std::string& name, const std::string& current) = 0;
    virtual std::int32_t readNumber(const std::string& name, std::int32_t current) = 0;
};

/// Writes the groups in SavedGroups, in the order above.
void saveSettingGroups(const TCustomComPort& port, SettingsValueStore& store);
/// Reads the groups in SavedGroups and assigns each value through its setter.
void restoreSettingGroups(TCustomComPort& port, SettingsValueStore& store);

/// Registry values: a missing text reads as empty; a missing number, or a
/// value of the other kind, raises. Failed writes raise.
class RegistryValueStore : public SettingsValueStore {
public:
    explicit RegistryValueStore(RegistryStore& registry) : m_registry(registry) {}
    void writeText(const std::string& name, const std::string& text) override;
    void writeNumber(const std::string& name, std::int32_t number) override;
    std::string readText(const std::string& name, const std::string& current) override;
    std::int32_t readNumber(const std::string& name, std::int32_t current) override;

private:
    RegistryStore& m_registry;
};

/// INI values in the section named after the port: a missing key (or a
/// number that is not one) reads as the value passed as current, which is the
/// current setting (9600 for CustomBaudRate). Writes the file cannot hold raise.
class IniValueStore : public SettingsValueStore {
public:
    IniValueStore(IniFile& ini, const std::string& section) : m_ini(ini), m_section(section) {}
    void writeText(const std::string& name, const std::string& text) override;
    void writeNumber(const std::string& name, std::int32_t number) override;
    std::string readText(const std::string& name, const std::string& current) override;
    std::int32_t readNumber(const std::string& name, std::int32_t current) override;

private:
    IniFile& m_ini;
    std::string m_section;
};

/// The outcome of resolving a registry location such as
/// "HKEY_LOCAL_MACHINE\Software\KESTRO_MODBUS_M" for a component name.
struct RegistryLocation {
    bool hasKey = false; // false when the location has no backslash
    bool localMachine = false;
    std::string keyPath; // e.g. "Software\KESTRO_MODBUS_M\ComPort"
};
RegistryLocation resolveRegistryLocation(const std::string& location,
                                         const std::string& componentName);

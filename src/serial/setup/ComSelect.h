#pragma once
// The logic behind one drop-down list of the port setup dialog: which setting
// the list edits, the texts it offers, the value the user picked (held back
// until it is applied), and finding the port's current value in the list.

#include "serial/ComTypes.h"

#include "platform/serial/SerialAdapter.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

class TComItemList;
class TCustomComPort;

enum TComProperty : std::uint8_t {
    cpNone,
    cpPort,
    cpBaudRate,
    cpDataBits,
    cpStopBits,
    cpParity,
    cpFlowControl
};

/// Replaces the list's content with the serial port names of this machine,
/// sorted as text without regard to letter case. A failure to enumerate
/// raises EComPort code 23 with the system code.
void ListSerialPorts(QStringList& List);

class TComSelect {
public:
    /// The item list belongs to the combo box; the selector only fills it.
    explicit TComSelect(TComItemList& Items) : m_items(Items) {}

    /// Remembers the kind and fills the item list with its texts; each port
    /// that is a USB adapter says what it is in its tooltip.
    void LoadChoices(TComProperty Kind);
    /// Takes the picked item's text as the pending value; applies it at once
    /// with AutoApply. A port picked by the user comes with the adapter it
    /// leads to now, which replaces any adapter remembered for the port.
    void TakeChoice(const QString& Text);
    /// Writes the pending value to the bound port (nothing without one). A
    /// port name is written only once one was found in or picked from the
    /// list, so a name that is not listed (an unplugged adapter) survives OK.
    void ApplyChoice();
    /// The index of the item showing the port's current value (letter case
    /// ignored), or -1. A found item also becomes the pending value.
    int ShowCurrent();

    TComProperty ComProperty() const { return m_comProperty; }
    TCustomComPort* ComPort() const { return m_comPort; }
    void SetComPort(TCustomComPort* Port) { m_comPort = Port; }
    bool AutoApply() const { return m_autoApply; }
    void SetAutoApply(bool Value) { m_autoApply = Value; }

    // The pending values, one per kind, as the dialog will apply them.
    const std::string& PendingPort() const { return m_port; }
    /// A port name was found in the list or picked from it.
    bool HasPendingPort() const { return m_portTaken; }
    TBaudRate PendingBaudRate() const { return m_baudRate; }
    TDataBits PendingDataBits() const { return m_dataBits; }
    TStopBits PendingStopBits() const { return m_stopBits; }
    TParityBits PendingParity() const { return m_parity; }
    TFlowControl PendingFlowControl() const { return m_flowControl; }

private:
    QString currentText() const;
    void takeText(const QString& Text);

    TComItemList& m_items;
    TComProperty m_comProperty = cpNone;
    TCustomComPort* m_comPort = nullptr;
    bool m_autoApply = false;

    // Every pending value starts at the first value of its kind.
    std::string m_port;
    bool m_portTaken = false;
    bool m_portPicked = false;
    SerialAdapterIdentity m_pickedAdapter;
    TBaudRate m_baudRate = brCustom;
    TDataBits m_dataBits = dbFive;
    TStopBits m_stopBits = sbOneStopBit;
    TParityBits m_parity = prNone;
    TFlowControl m_flowControl = fcHardware;
};

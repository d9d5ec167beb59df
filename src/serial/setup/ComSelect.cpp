#include "serial/setup/ComSelect.h"

#include "platform/serial/SerialPortList.h"
#include "serial/ComAdapter.h"
#include "serial/ComPort.h"
#include "serial/setup/ComItemList.h"

namespace {

template <typename Enum, std::size_t Count> QStringList namesOf(std::string (*name)(Enum)) {
    QStringList names;
    for (std::size_t value = 0; value < Count; ++value)
        names.append(QString::fromStdString(name(static_cast<Enum>(value))));
    return names;
}

QStringList choicesFor(TComProperty kind) {
    switch (kind) {
    case cpPort: {
        QStringList ports;
        ListSerialPorts(ports);
        return ports;
    }
    case cpBaudRate:
        return namesOf<TBaudRate, br256000 + 1>(BaudRateName);
    case cpDataBits:
        return namesOf<TDataBits, dbEight + 1>(DataBitsName);
    case cpStopBits:
        return namesOf<TStopBits, sbTwoStopBits + 1>(StopBitsName);
    case cpParity:
        return namesOf<TParityBits, prSpace + 1>(ParityName);
    case cpFlowControl:
        return namesOf<TFlowControl, fcCustom + 1>(FlowControlName);
    case cpNone:
        break;
    }
    return QStringList();
}

} // namespace

void ListSerialPorts(QStringList& List) {
    const SerialPortListResult found = listSerialPortNames();
    if (found.error != 0)
        throw EComPort(static_cast<std::uint32_t>(found.error), CError_RegError);
    List = found.names;
}

void TComSelect::LoadChoices(TComProperty Kind) {
    m_comProperty = Kind;
    const QStringList choices = choicesFor(Kind);
    QStringList toolTips;
    if (Kind == cpPort) {
        for (const QString& port : choices)
            toolTips.append(DescribePort(port));
    }
    m_items.SetItems(choices, toolTips);
}

QString TComSelect::currentText() const {
    const TCustomComPort& port = *m_comPort;
    switch (m_comProperty) {
    case cpPort:
        return QString::fromStdString(port.Port());
    case cpBaudRate:
        return QString::fromStdString(BaudRateName(port.BaudRate()));
    case cpDataBits:
        return QString::fromStdString(DataBitsName(port.DataBits()));
    case cpStopBits:
        return QString::fromStdString(StopBitsName(port.StopBits()));
    case cpParity:
        return QString::fromStdString(ParityName(port.Parity().Bits()));
    case cpFlowControl:
        return QString::fromStdString(FlowControlName(port.FlowControl().FlowControl()));
    case cpNone:
        break;
    }
    return QString();
}

void TComSelect::takeText(const QString& Text) {
    const std::string text = Text.toStdString();
    switch (m_comProperty) {
    case cpPort:
        m_port = text;
        m_portTaken = true;
        break;
    case cpBaudRate:
        m_baudRate = ParseBaudRate(text);
        break;
    case cpDataBits:
        m_dataBits = ParseDataBits(text);
        break;
    case cpStopBits:
        m_stopBits = ParseStopBits(text);
        break;
    case cpParity:
        m_parity = ParseParity(text);
        break;
    case cpFlowControl:
        m_flowControl = ParseFlowControl(text);
        break;
    case cpNone:
        break;
    }
}

void TComSelect::TakeChoice(const QString& Text) {
    takeText(Text);
    if (m_comProperty == cpPort) {
        // The operator chose this device, whatever adapter the name was used
        // with before: it is the one to find again from now on.
        m_portPicked = true;
        m_pickedAdapter = AdapterOfPort(m_port);
    }
    if (m_autoApply)
        ApplyChoice();
}

int TComSelect::ShowCurrent() {
    if (m_comPort == nullptr || m_comProperty == cpNone)
        return -1;
    const QString current = currentText();
    const QStringList items = m_items.stringList();
    for (int index = 0; index < items.size(); ++index) {
        if (items[index].compare(current, Qt::CaseInsensitive) == 0) {
            // The list's spelling wins: "com3" set by hand shows, and is
            // written back, as the registered "COM3".
            takeText(items[index]);
            return index;
        }
    }
    return -1;
}

void TComSelect::ApplyChoice() {
    if (m_comPort == nullptr)
        return;
    TCustomComPort& port = *m_comPort;
    switch (m_comProperty) {
    case cpPort:
        // Nothing found and nothing picked: the port keeps its name rather
        // than losing it to the empty one.
        if (m_portTaken)
            port.SetPort(m_port);
        if (m_portPicked)
            port.SetAdapterIdentity(m_pickedAdapter);
        break;
    case cpBaudRate:
        port.SetBaudRate(m_baudRate);
        break;
    case cpDataBits:
        port.SetDataBits(m_dataBits);
        break;
    case cpStopBits:
        port.SetStopBits(m_stopBits);
        break;
    case cpParity:
        port.Parity().SetBits(m_parity);
        break;
    case cpFlowControl:
        port.FlowControl().SetFlowControl(m_flowControl);
        break;
    case cpNone:
        break;
    }
}

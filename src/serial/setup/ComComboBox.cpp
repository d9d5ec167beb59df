#include "serial/setup/ComComboBox.h"

#include "serial/ComPort.h"

TComComboBox::TComComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setModel(m_items);
    // Only choices made by the user count; selections made in code do not.
    connect(this, &QComboBox::activated, this, &TComComboBox::userChose);
}

TComComboBox::~TComComboBox() {
    if (TCustomComPort* port = ComPort())
        port->FreeNotification().unsubscribe(this);
}

void TComComboBox::SetComPort(TCustomComPort* Port) {
    TCustomComPort* previous = ComPort();
    if (Port == previous)
        return;
    if (previous != nullptr)
        previous->FreeNotification().unsubscribe(this);
    m_select.SetComPort(Port);
    if (Port == nullptr)
        return;
    Port->FreeNotification().subscribe(this, [this] { portDestroyed(); });
    ShowCurrent();
}

void TComComboBox::SetComProperty(TComProperty Kind) {
    m_select.LoadChoices(Kind);
    if (count() == 0)
        return;
    if (ComPort() != nullptr)
        setCurrentIndex(m_select.ShowCurrent());
    else
        setCurrentIndex(0);
}

QString TComComboBox::Text() const {
    return currentIndex() < 0 ? QString() : currentText();
}

void TComComboBox::SetText(const QString& Value) {
    const QStringList items = m_items->stringList();
    for (int index = 0; index < items.size(); ++index) {
        if (items[index].compare(Value, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(index);
            return;
        }
    }
}

void TComComboBox::ShowCurrent() {
    if (ComPort() == nullptr)
        return;
    setCurrentIndex(m_select.ShowCurrent());
}

void TComComboBox::userChose(int index) {
    if (index < 0)
        return;
    m_select.TakeChoice(itemText(index));
    if (OnChange)
        OnChange(this);
}

void TComComboBox::portDestroyed() {
    m_select.SetComPort(nullptr);
    if (count() > 0)
        setCurrentIndex(0);
}

#pragma once
// A drop-down list bound to a serial port: it offers the values of one
// setting, shows the port's current value, and writes the user's choice to
// the port when asked (or at once with AutoApply). No free typing.

#include "serial/setup/ComItemList.h"
#include "serial/setup/ComSelect.h"

#include <QComboBox>
#include <functional>

class TCustomComPort;

class TComComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComComboBox(QWidget* parent = nullptr);
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return m_select.ComPort(); }
    /// Binding a different port shows that port's current value.
    void SetComPort(TCustomComPort* Port);
    TComProperty ComProperty() const { return m_select.ComProperty(); }
    /// Refills the list and selects the current value (or the first item).
    void SetComProperty(TComProperty Kind);
    bool AutoApply() const { return m_select.AutoApply(); }
    void SetAutoApply(bool Value) { m_select.SetAutoApply(Value); }

    /// The selected item's text, or the empty text.
    QString Text() const;
    /// Selects the item with this text (letter case ignored), if there is one.
    void SetText(const QString& Value);

    void ApplyChoice() { m_select.ApplyChoice(); }
    /// Selects the item showing the port's current value; without a bound
    /// port the selection stays as it is.
    void ShowCurrent();

    TComSelect& Select() { return m_select; }

    /// Runs after each choice the user makes.
    std::function<void(TComComboBox* Sender)> OnChange;

private:
    void userChose(int index);
    void portDestroyed();

    // The model is a child of the combo box, so it outlives the view's use of it.
    TComItemList* m_items = new TComItemList(this);
    TComSelect m_select{*m_items};
};

#pragma once
// The port setup dialog: six drop-down lists (port, baud rate, data bits,
// stop bits, parity, flow control) in a group box, and OK and Cancel. The
// port's RunSetupDialog shows it modally and applies the choices on OK.

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class TComComboBox;

class TComSetupFrm : public QDialog {
    Q_OBJECT
public:
    /// Loads the layout; the port list is read here, so a failure to list
    /// the ports (EComPort code 23) leaves the constructor.
    explicit TComSetupFrm(QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    TComComboBox* Combo1 = nullptr;
    TComComboBox* Combo2 = nullptr;
    TComComboBox* Combo3 = nullptr;
    TComComboBox* Combo4 = nullptr;
    TComComboBox* Combo5 = nullptr;
    TComComboBox* Combo6 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    /// Combo1 to Combo6, in the order in which they are bound and applied.
    std::array<TComComboBox*, 6> Combos() const {
        return {Combo1, Combo2, Combo3, Combo4, Combo5, Combo6};
    }

private:
    void createControls();
    void setTabOrder();
};

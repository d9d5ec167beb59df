#pragma once
// The network line's settings: the host, the TCP port, how the frames go
// (Modbus TCP or RTU over TCP) and whether a Modbus TCP device speaks it
// itself or sits behind a gateway, whose serial line then runs at the rate of
// the serial settings. OK is offered only with a host and a sound port.

#include "net/NetworkLineStore.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class NetworkLineDialog : public QDialog {
    Q_OBJECT
public:
    explicit NetworkLineDialog(QWidget* parent = nullptr);

    /// Shows the choice's network line; the choice of line itself is the menu's.
    void SetChoice(const LineChoice& choice);
    /// The network line as entered, chosen.
    LineChoice Choice() const;

    QLineEdit* hostField = nullptr;
    QSpinBox* portField = nullptr;
    QComboBox* framingField = nullptr;
    QCheckBox* nativeField = nullptr;
    QDialogButtonBox* buttons = nullptr;
    QLabel* problem = nullptr;

private:
    void judge();
};

#pragma once
// Asks for a linearity test: from which output value to which, by what step
// (register counts, 0 to the full scale), how long each point settles and the
// tolerance in per cent of the full scale. A start above the end is refused
// in the dialog itself; the fields hold every other value within its range.

#include "trend/LinearityPlan.h"

#include <QDialog>

class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

class LinearityDialog : public QDialog {
    Q_OBJECT
public:
    explicit LinearityDialog(QWidget* parent = nullptr);

    void SetPlan(const LinearityPlan& plan);
    LinearityPlan Plan() const;

    QSpinBox* fromField = nullptr;
    QSpinBox* toField = nullptr;
    QSpinBox* stepField = nullptr;
    QSpinBox* settleField = nullptr;
    QDoubleSpinBox* toleranceField = nullptr;
    QDialogButtonBox* buttons = nullptr;
    QLabel* problem = nullptr;

private:
    void judge();
};

#include "ui/trend/LinearityDialog.h"

#include "modbus/Module.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace {

constexpr int LongestSettle = std::numeric_limits<int>::max();
constexpr double SmallestTolerance = 0.001;
constexpr double LargestTolerance = 100.0;
constexpr int ToleranceDecimals = 3;

QSpinBox* countField(QWidget* parent, int minimum) {
    auto* field = new QSpinBox(parent);
    field->setRange(minimum, OutputFullScale);
    return field;
}

} // namespace

LinearityDialog::LinearityDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("线性测试"));
    fromField = countField(this, 0);
    toField = countField(this, 0);
    stepField = countField(this, 1);
    settleField = new QSpinBox(this);
    settleField->setRange(static_cast<int>(ShortestSettle.count()), LongestSettle);
    settleField->setSuffix(tr(" ms"));
    toleranceField = new QDoubleSpinBox(this);
    toleranceField->setDecimals(ToleranceDecimals);
    toleranceField->setRange(SmallestTolerance, LargestTolerance);
    toleranceField->setSuffix(tr(" %"));
    problem = new QLabel(this);
    problem->setStyleSheet(QStringLiteral("color: red"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("开始测试"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));

    auto* form = new QFormLayout;
    form->addRow(tr("起始输出 (0-%1)").arg(OutputFullScale), fromField);
    form->addRow(tr("终止输出 (0-%1)").arg(OutputFullScale), toField);
    form->addRow(tr("步长"), stepField);
    form->addRow(tr("稳定时间"), settleField);
    form->addRow(tr("允许偏差 (满量程 %1)").arg(OutputFullScale), toleranceField);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(fromField, &QSpinBox::valueChanged, this, &LinearityDialog::judge);
    connect(toField, &QSpinBox::valueChanged, this, &LinearityDialog::judge);
    SetPlan(LinearityPlan{});
}

void LinearityDialog::SetPlan(const LinearityPlan& plan) {
    fromField->setValue(plan.from);
    toField->setValue(plan.to);
    stepField->setValue(plan.step);
    settleField->setValue(static_cast<int>(plan.settle.count()));
    toleranceField->setValue(plan.tolerancePercent);
    judge();
}

LinearityPlan LinearityDialog::Plan() const {
    LinearityPlan plan;
    plan.from = fromField->value();
    plan.to = toField->value();
    plan.step = stepField->value();
    plan.settle = std::chrono::milliseconds{settleField->value()};
    plan.tolerancePercent = toleranceField->value();
    return plan;
}

void LinearityDialog::judge() {
    const bool sound = LinearityPlanError(Plan()).isEmpty();
    problem->setText(sound ? QString() : tr("起始输出不能大于终止输出。"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(sound);
}

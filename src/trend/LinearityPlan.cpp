#include "trend/LinearityPlan.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>
#include <cmath>

QString LinearityPlanError(const LinearityPlan& plan) {
    const auto inRange = [](int value) { return value >= 0 && value <= OutputFullScale; };
    if (!inRange(plan.from) || !inRange(plan.to)) {
        return QCoreApplication::translate("LinearityPlan",
                                           "--linearity values must be 0..%1, got %2:%3")
            .arg(OutputFullScale)
            .arg(plan.from)
            .arg(plan.to);
    }
    if (plan.from > plan.to) {
        return QCoreApplication::translate("LinearityPlan",
                                           "--linearity FROM must not be above TO, got %1:%2")
            .arg(plan.from)
            .arg(plan.to);
    }
    if (plan.step < 1 || plan.step > OutputFullScale) {
        return QCoreApplication::translate("LinearityPlan",
                                           "--linearity STEP must be 1..%1, got %2")
            .arg(OutputFullScale)
            .arg(plan.step);
    }
    if (plan.settle < ShortestSettle) {
        return QCoreApplication::translate(
                   "LinearityPlan", "--settle must be %1 ms or more (the feedback is averaged over "
                                    "the last %2 ms), got %3")
            .arg(ShortestSettle.count())
            .arg(LinearityWindow.count())
            .arg(plan.settle.count());
    }
    if (!std::isfinite(plan.tolerancePercent) || plan.tolerancePercent <= 0.0) {
        return QCoreApplication::translate("LinearityPlan",
                                           "--tolerance must be a percentage above 0, got %1")
            .arg(plan.tolerancePercent);
    }
    return {};
}

QString ParseLinearityRange(const QString& text, LinearityPlan& plan) {
    const QStringList parts = text.split(':');
    std::vector<int> numbers;
    for (const QString& part : parts) {
        bool isNumber = false;
        const int value = part.toInt(&isNumber, 10);
        if (!isNumber) {
            break;
        }
        numbers.push_back(value);
    }
    if (parts.size() != 3 || numbers.size() != 3) {
        return QCoreApplication::translate(
                   "LinearityPlan",
                   "--linearity needs FROM:TO:STEP, three whole numbers, got \"%1\"")
            .arg(text);
    }
    plan.from = numbers[0];
    plan.to = numbers[1];
    plan.step = numbers[2];
    return {};
}

std::vector<int> LinearityOutputs(const LinearityPlan& plan) {
    std::vector<int> outputs;
    if (plan.step < 1) {
        return outputs;
    }
    for (int output = plan.from; output <= plan.to; output += plan.step) {
        outputs.push_back(output);
    }
    return outputs;
}

QString PercentText(double percent) {
    // As few digits as tell the number apart from every other: 0.5, 1,
    // 0.0001 as it was given, never rounded to another tolerance.
    const QString text = QString::number(percent, 'f', QLocale::FloatingPointShortest);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

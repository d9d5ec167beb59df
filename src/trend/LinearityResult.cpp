#include "trend/LinearityResult.h"

#include <algorithm>
#include <cmath>

std::optional<LinearityPoint> LinearityResult::WorstPoint() const {
    std::optional<LinearityPoint> worst;
    for (const LinearityPoint& point : points) {
        if (!worst || std::abs(point.Deviation()) > std::abs(worst->Deviation())) {
            worst = point;
        }
    }
    return worst;
}

namespace {

// A billionth of a count: far below what a mean of whole readings can tell
// apart, far above what the arithmetic of a tolerance given in decimals
// (0.1 % is 2.2 counts) rounds off.
constexpr double RoundingAllowance = 1e-9;

constexpr int DeviationDecimals = 3;
constexpr int MostDeviationDecimals = 9;

int decimalsOf(const QString& number) {
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : static_cast<int>(number.size() - point - 1);
}

} // namespace

bool WithinTolerance(double output, double feedback, double tolerancePercent) {
    return std::abs(feedback - output) <=
           tolerancePercent * OutputFullScale / 100.0 + RoundingAllowance;
}

QString DeviationPercentText(double deviationPercent, double tolerancePercent) {
    const QString tolerance = PercentText(tolerancePercent);
    const bool within =
        WithinTolerance(0.0, deviationPercent * OutputFullScale / 100.0, tolerancePercent);
    int decimals = std::max(DeviationDecimals, decimalsOf(tolerance));
    QString text = QString::number(deviationPercent, 'f', decimals);
    // Shown as the tolerance itself, the deviation must also pass as such.
    while (!within && decimals < MostDeviationDecimals &&
           std::abs(text.toDouble()) <= tolerancePercent) {
        text = QString::number(deviationPercent, 'f', ++decimals);
    }
    while (within && decimals < MostDeviationDecimals &&
           std::abs(text.toDouble()) > tolerancePercent) {
        text = QString::number(deviationPercent, 'f', ++decimals);
    }
    return text;
}

bool LinearityResult::Passed() const {
    if (!Complete() || points.empty()) {
        return false;
    }
    return std::all_of(points.begin(), points.end(), [this](const LinearityPoint& point) {
        return WithinTolerance(point.output, point.feedback, plan.tolerancePercent);
    });
}

QString LinearityStopText(const LinearityResult& result) {
    const QString where = result.stopOutput ? QStringLiteral("at output %1").arg(*result.stopOutput)
                                            : QStringLiteral("before the first point");
    switch (result.stop) {
    case LinearityStop::None:
        return {};
    case LinearityStop::WriteFailed:
        return QStringLiteral("line lost %1: the port refuses to send").arg(where);
    case LinearityStop::RepliesMissed:
        return QStringLiteral("line lost %1: no reply to %2 requests in a row")
            .arg(where)
            .arg(result.stopDetail);
    case LinearityStop::OutputRefused:
        return QStringLiteral("the output register does not take %1, it reads %2")
            .arg(result.stopOutput.value_or(0))
            .arg(result.stopDetail);
    case LinearityStop::OutputDisturbed:
        return QStringLiteral("the output changed to %1 while output %2 settled")
            .arg(result.stopDetail)
            .arg(result.stopOutput.value_or(0));
    case LinearityStop::Interrupted:
        return QStringLiteral("interrupted %1").arg(where);
    case LinearityStop::PollingStopped:
        return QStringLiteral("polling stopped %1").arg(where);
    }
    return {};
}

QString LinearitySummaryLine(const LinearityResult& result) {
    const QString tolerance = PercentText(result.plan.tolerancePercent);
    QString line;
    if (const auto worst = result.WorstPoint()) {
        line =
            QStringLiteral("linearity: max deviation %1% at output %2, tolerance %3%: ")
                .arg(DeviationPercentText(worst->DeviationPercent(), result.plan.tolerancePercent))
                .arg(worst->output)
                .arg(tolerance);
    } else {
        line = QStringLiteral("linearity: no point measured, tolerance %1%: ").arg(tolerance);
    }
    line += result.Passed() ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    if (const QString reason = LinearityStopText(result); !reason.isEmpty()) {
        line += QStringLiteral(" (%1)").arg(reason);
    }
    return line;
}

#include "trend/LinearityResult.h"

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

bool LinearityResult::Passed() const {
    if (!Complete() || points.empty()) {
        return false;
    }
    // The comparison is on the printed percentage, so that a deviation shown
    // as the tolerance itself passes, as the operator reads it.
    const double worst = std::abs(WorstPoint()->DeviationPercent());
    return std::round(worst * 1000.0) <= std::round(plan.tolerancePercent * 1000.0);
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
        line = QStringLiteral("linearity: max deviation %1% at output %2, tolerance %3%: ")
                   .arg(QString::number(worst->DeviationPercent(), 'f', 3))
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

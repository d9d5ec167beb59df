#pragma once
// What a linearity test does: the output values it steps through, how long
// it lets each settle and how far the feedback may stray. The same plan comes
// from the runner's command line and from the trend window's dialog.

#include "modbus/Module.h"

#include <QString>
#include <chrono>
#include <vector>

/// The feedback of a point is the mean over the reads of this last part of
/// its settle time.
inline constexpr std::chrono::milliseconds LinearityWindow{250};
/// A settle time must leave room for that window and a little before it.
inline constexpr std::chrono::milliseconds ShortestSettle{300};

struct LinearityPlan {
    int from = 0;
    int to = OutputFullScale;
    int step = 100;
    std::chrono::milliseconds settle{1000};
    double tolerancePercent = 0.5; ///< of the full scale
};

/// Why the plan cannot run, in the runner's words; empty when it can.
QString LinearityPlanError(const LinearityPlan& plan);

/// Reads "FROM:TO:STEP" into the plan's range; returns an error text or
/// nothing. The range itself is judged by LinearityPlanError.
QString ParseLinearityRange(const QString& text, LinearityPlan& plan);

/// The output values of a sound plan: from, from + step, ... as long as they
/// do not pass to.
std::vector<int> LinearityOutputs(const LinearityPlan& plan);

/// A tolerance as it is printed: as given, "0.5", "0.0001", "1".
QString PercentText(double percent);

#pragma once
// What a linearity test found: the feedback at every output value it
// measured, how far it strayed, and why the test ended early if it did. A
// test passes only when every planned point was measured and none strayed
// beyond the tolerance.

#include "trend/LinearityPlan.h"

#include <QString>
#include <optional>
#include <vector>

struct LinearityPoint {
    int output = 0;
    double feedback = 0.0; ///< the mean of the reads at the end of the settle time
    int readings = 0;      ///< how many reads the mean is over
    double Deviation() const { return feedback - output; }
    double DeviationPercent() const { return Deviation() * 100.0 / OutputFullScale; }
};

/// Why a test ended before its last point.
enum class LinearityStop {
    None,            ///< it ran to its end
    WriteFailed,     ///< the port refuses to send: the line is lost
    RepliesMissed,   ///< the module stopped answering: the line is lost
    OutputRefused,   ///< the output register does not take the value written
    OutputDisturbed, ///< the output changed under the test (another write)
    Interrupted,     ///< stopped by the operator or a signal
    PollingStopped,  ///< the poll loop was stopped under the test
};

struct LinearityResult {
    LinearityPlan plan;
    std::vector<LinearityPoint> points;
    int plannedPoints = 0;
    LinearityStop stop = LinearityStop::None;
    /// For a stop: the output value being measured or written back (none
    /// before the first write); the value the output register read for
    /// OutputRefused and OutputDisturbed, the replies missed in a row for
    /// RepliesMissed.
    std::optional<int> stopOutput;
    int stopDetail = 0;
    /// The output before the test, once known; whether the test wrote the
    /// output at all, and whether it wrote it back and read it back at the end.
    std::optional<int> originalOutput;
    bool outputWritten = false;
    bool restored = false;

    bool Complete() const {
        return stop == LinearityStop::None && static_cast<int>(points.size()) == plannedPoints;
    }
    /// The point that strayed furthest either way; none before the first point.
    std::optional<LinearityPoint> WorstPoint() const;
    bool Passed() const;
};

/// Whether a feedback lies within the tolerance (per cent of the full scale)
/// of its output. The verdict, the X-Y view's band and the points' colours
/// all ask this, on the values themselves, so they never disagree.
bool WithinTolerance(double output, double feedback, double tolerancePercent);

/// A deviation in per cent as it is printed beside the tolerance: three
/// decimals, or as many as the tolerance was given with, and more where
/// fewer would show a deviation beyond the tolerance as equal to it (or one
/// within it as equal to one beyond).
QString DeviationPercentText(double deviationPercent, double tolerancePercent);

/// Why the test stopped, in the runner's words; empty when it ran to its end.
QString LinearityStopText(const LinearityResult& result);

/// "linearity: max deviation 0.045% at output 1100, tolerance 0.5%: PASS",
/// with FAIL and, after an early end, the reason in brackets. Scripts read
/// it, so it is the same in every language (the trend window says it in its own).
QString LinearitySummaryLine(const LinearityResult& result);

#pragma once
// What the function test of one unit does: the address and line rate the
// unit is expected at, and an ordered list of steps, each a measurement with
// its limits. A plan is a JSON file (its format is described in
// docs/function-test.md and docs/test-plan.schema.json); without one the
// built-in default plan for the analog signal module is used.

#include "trend/LinearityPlan.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

enum class StepKind { Communication, Identity, Relay, OutputLinearity, Calibration };

/// The step's name in plans, reports and output: "communication", ...
QString StepKindName(StepKind kind);
std::optional<StepKind> StepKindOfName(const QString& name);

/// The calibration commands of the write dialog.
enum class CalibrationCommand { InputZero, Input20mA, OutputSpan };
QString CalibrationCommandName(CalibrationCommand command);
std::optional<CalibrationCommand> CalibrationCommandOfName(const QString& name);

struct StepPlan {
    StepKind kind = StepKind::Communication;
    bool enabled = true;
    /// communication: how many reads, each a sound reply, and the highest
    /// 95th percentile of their response times.
    int reads = 20;
    double responseP95LimitMs = 100.0;
    /// relay, calibration: how long the module may take to follow a write.
    std::chrono::milliseconds timeout{3000};
    /// output-linearity: the linearity test's plan.
    LinearityPlan linearity{0, OutputFullScale, 550, std::chrono::milliseconds{1000}, 0.5};
    /// calibration: the commands in their order, and the span written first
    /// for the output span.
    std::vector<CalibrationCommand> commands{CalibrationCommand::InputZero,
                                             CalibrationCommand::Input20mA,
                                             CalibrationCommand::OutputSpan};
    std::uint16_t span = 20000;
};

struct TestPlan {
    QString name = QStringLiteral("KESTRO analog signal module, default");
    int address = 1;
    int baud = 9600;
    /// A fixture that wires the relay contact to the dry-contact input.
    bool loopback = false;
    /// Whether the steps after a failed one are skipped (the teardown runs
    /// all the same).
    bool stopAtFirstFailure = true;
    std::vector<StepPlan> steps;
};

/// The built-in plan: communication, identity, relay and output linearity on,
/// calibration off (it needs a reference source on the input).
TestPlan DefaultTestPlan();

/// The plan as a JSON file, the way --print-plan writes it.
QByteArray TestPlanJson(const TestPlan& plan);

struct PlanRead {
    std::optional<TestPlan> plan;
    /// "line 12: steps[3].name: unknown step \"relais\"" when refused.
    QString error;
};

/// Reads and checks a plan file's text.
PlanRead ReadTestPlan(const QByteArray& text);

/// The plan a test runs, read and checked, with what identifies it.
struct LoadedPlan {
    std::optional<TestPlan> plan;
    QString sha256; ///< of the plan file's bytes (of TestPlanJson for the built-in plan)
    QString error;  ///< why it was refused: "plan FILE: line 12: steps[3].name: ..."
};

/// Reads the plan file, or takes the built-in plan when path is empty.
LoadedPlan LoadTestPlan(const QString& path);

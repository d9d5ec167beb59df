#include "functest/TestPlan.h"

#include "functest/Json.h"
#include "platform/storage/AtomicFile.h"
#include "serial/ComTypes.h"

#include <QCryptographicHash>
#include <cstring>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace {

struct KindName {
    StepKind kind;
    const char* name;
};
constexpr std::array<KindName, 5> StepNames = {{
    {StepKind::Communication, "communication"},
    {StepKind::Identity, "identity"},
    {StepKind::Relay, "relay"},
    {StepKind::OutputLinearity, "output-linearity"},
    {StepKind::Calibration, "calibration"},
}};

struct CommandName {
    CalibrationCommand command;
    const char* name;
};
constexpr std::array<CommandName, 3> CommandNames = {{
    {CalibrationCommand::InputZero, "input-zero"},
    {CalibrationCommand::Input20mA, "input-20mA"},
    {CalibrationCommand::OutputSpan, "output-span"},
}};

JsonValue stepJson(const StepPlan& step) {
    JsonValue object = JsonValue::Object();
    object.add("name", JsonValue::Text(StepKindName(step.kind)));
    object.add("enabled", JsonValue::Flag(step.enabled));
    const auto ms = [](std::chrono::milliseconds time) {
        return JsonValue::Number(static_cast<double>(time.count()));
    };
    switch (step.kind) {
    case StepKind::Communication:
        object.add("reads", JsonValue::Number(step.reads));
        object.add("response_p95_ms_max", JsonValue::Number(step.responseP95LimitMs));
        break;
    case StepKind::Identity:
        break;
    case StepKind::Relay:
        object.add("timeout_ms", ms(step.timeout));
        break;
    case StepKind::OutputLinearity:
        object.add("from", JsonValue::Number(step.linearity.from));
        object.add("to", JsonValue::Number(step.linearity.to));
        object.add("step", JsonValue::Number(step.linearity.step));
        object.add("settle_ms", ms(step.linearity.settle));
        object.add("tolerance_pct", JsonValue::Number(step.linearity.tolerancePercent));
        break;
    case StepKind::Calibration: {
        JsonValue commands = JsonValue::Array();
        for (const CalibrationCommand command : step.commands) {
            commands.append(JsonValue::Text(CalibrationCommandName(command)));
        }
        object.add("commands", std::move(commands));
        object.add("span", JsonValue::Number(step.span));
        object.add("timeout_ms", ms(step.timeout));
        break;
    }
    }
    return object;
}

bool isLineRate(int baud) {
    for (int rate = br110; rate <= br256000; ++rate) {
        if (BaudRateValue(static_cast<TBaudRate>(rate)) == baud) {
            return true;
        }
    }
    return false;
}

// Reads a plan from the JSON tree, refusing the first field that is wrong
// with its line and its path.
class PlanChecker {
public:
    std::optional<TestPlan> read(const JsonValue& root) {
        if (root.type != JsonValue::Type::Object) {
            return refuse(root, QStringLiteral("(plan)"),
                          QStringLiteral("the plan must be an object"));
        }
        TestPlan plan;
        plan.steps.clear();
        if (!known(root, QString(),
                   {"plan", "address", "baud", "loopback", "stop_at_first_failure", "steps"}) ||
            !text(root, "plan", QString(), plan.name) ||
            !integer(root, "address", QString(), 1, 247, plan.address) ||
            !integer(root, "baud", QString(), 300, 1'000'000, plan.baud) ||
            !flag(root, "loopback", QString(), plan.loopback) ||
            !flag(root, "stop_at_first_failure", QString(), plan.stopAtFirstFailure)) {
            return std::nullopt;
        }
        if (!isLineRate(plan.baud)) {
            return refuse(
                *root.member("baud"), QStringLiteral("baud"),
                QStringLiteral("%1 is not a rate the tool can set (110 to 256000, e.g. 9600)")
                    .arg(plan.baud));
        }
        const JsonValue* steps = root.member("steps");
        if (steps == nullptr) {
            return refuse(root, QStringLiteral("steps"), QStringLiteral("missing"));
        }
        if (steps->type != JsonValue::Type::Array) {
            return refuse(*steps, QStringLiteral("steps"), QStringLiteral("must be a list"));
        }
        if (steps->items.empty()) {
            return refuse(*steps, QStringLiteral("steps"),
                          QStringLiteral("the list of steps is empty"));
        }
        for (std::size_t i = 0; i < steps->items.size(); ++i) {
            const QString path = QStringLiteral("steps[%1]").arg(i);
            std::optional<StepPlan> step = readStep(steps->items[i], path);
            if (!step) {
                return std::nullopt;
            }
            plan.steps.push_back(*step);
        }
        return plan;
    }

    QString error;

private:
    std::nullopt_t refuse(const JsonValue& where, const QString& field, const QString& why) {
        error = QStringLiteral("line %1: %2: %3").arg(where.line).arg(field, why);
        return std::nullopt;
    }

    static QString fieldPath(const QString& path, const QString& key) {
        return path.isEmpty() ? key : path + QLatin1Char('.') + key;
    }

    bool known(const JsonValue& object, const QString& path,
               std::initializer_list<const char*> keys) {
        for (const auto& [key, value] : object.members) {
            if (std::find_if(keys.begin(), keys.end(), [&](const char* k) { return key == k; }) ==
                keys.end()) {
                refuse(value, fieldPath(path, key), QStringLiteral("unknown field"));
                return false;
            }
        }
        return true;
    }

    bool number(const JsonValue& object, const char* key, const QString& path, double low,
                double high, double& target) {
        const JsonValue* value = object.member(key);
        if (value == nullptr) {
            return true;
        }
        const QString field = fieldPath(path, key);
        if (value->type != JsonValue::Type::Number) {
            refuse(*value, field,
                   QStringLiteral("must be a number, not %1").arg(JsonTypeName(value->type)));
            return false;
        }
        if (value->number < low || value->number > high) {
            refuse(*value, field,
                   QStringLiteral("%1 is outside %2..%3").arg(value->number).arg(low).arg(high));
            return false;
        }
        target = value->number;
        return true;
    }

    bool integer(const JsonValue& object, const char* key, const QString& path, int low, int high,
                 int& target) {
        double value = target;
        if (!number(object, key, path, low, high, value)) {
            return false;
        }
        if (value != std::floor(value)) {
            refuse(*object.member(key), fieldPath(path, key),
                   QStringLiteral("must be a whole number"));
            return false;
        }
        target = static_cast<int>(value);
        return true;
    }

    bool milliseconds(const JsonValue& object, const char* key, const QString& path, int low,
                      std::chrono::milliseconds& target) {
        int value = static_cast<int>(target.count());
        if (!integer(object, key, path, low, 3'600'000, value)) {
            return false;
        }
        target = std::chrono::milliseconds{value};
        return true;
    }

    bool flag(const JsonValue& object, const char* key, const QString& path, bool& target) {
        const JsonValue* value = object.member(key);
        if (value == nullptr) {
            return true;
        }
        if (value->type != JsonValue::Type::Bool) {
            refuse(*value, fieldPath(path, key), QStringLiteral("must be true or false"));
            return false;
        }
        target = value->boolean;
        return true;
    }

    bool text(const JsonValue& object, const char* key, const QString& path, QString& target) {
        const JsonValue* value = object.member(key);
        if (value == nullptr) {
            return true;
        }
        if (value->type != JsonValue::Type::String) {
            refuse(*value, fieldPath(path, key), QStringLiteral("must be a text"));
            return false;
        }
        target = value->string;
        return true;
    }

    std::optional<StepPlan> readStep(const JsonValue& item, const QString& path) {
        if (item.type != JsonValue::Type::Object) {
            return refuse(item, path, QStringLiteral("a step must be an object"));
        }
        const JsonValue* name = item.member("name");
        if (name == nullptr || name->type != JsonValue::Type::String) {
            return refuse(name != nullptr ? *name : item, fieldPath(path, "name"),
                          QStringLiteral("every step needs its name as a text"));
        }
        const std::optional<StepKind> kind = StepKindOfName(name->string);
        if (!kind) {
            return refuse(*name, fieldPath(path, "name"),
                          QStringLiteral("unknown step \"%1\"").arg(name->string));
        }
        StepPlan step = defaultStep(*kind);
        if (!flag(item, "enabled", path, step.enabled)) {
            return std::nullopt;
        }
        if (!readLimits(item, path, step)) {
            return std::nullopt;
        }
        return step;
    }

    static StepPlan defaultStep(StepKind kind) {
        StepPlan step;
        step.kind = kind;
        if (kind == StepKind::Relay) {
            step.timeout = std::chrono::milliseconds{2000};
        }
        return step;
    }

    bool readLimits(const JsonValue& item, const QString& path, StepPlan& step) {
        switch (step.kind) {
        case StepKind::Communication:
            return known(item, path, {"name", "enabled", "reads", "response_p95_ms_max"}) &&
                   integer(item, "reads", path, 1, 100'000, step.reads) &&
                   number(item, "response_p95_ms_max", path, 0.0, 60'000.0,
                          step.responseP95LimitMs);
        case StepKind::Identity:
            return known(item, path, {"name", "enabled"});
        case StepKind::Relay:
            return known(item, path, {"name", "enabled", "timeout_ms"}) &&
                   milliseconds(item, "timeout_ms", path, 100, step.timeout);
        case StepKind::OutputLinearity:
            return readLinearity(item, path, step.linearity);
        case StepKind::Calibration:
            return readCalibration(item, path, step);
        }
        return false;
    }

    bool readLinearity(const JsonValue& item, const QString& path, LinearityPlan& plan) {
        if (!known(item, path,
                   {"name", "enabled", "from", "to", "step", "settle_ms", "tolerance_pct"}) ||
            !integer(item, "from", path, 0, OutputFullScale, plan.from) ||
            !integer(item, "to", path, 0, OutputFullScale, plan.to) ||
            !integer(item, "step", path, 1, OutputFullScale, plan.step) ||
            !milliseconds(item, "settle_ms", path, static_cast<int>(ShortestSettle.count()),
                          plan.settle) ||
            !number(item, "tolerance_pct", path, 0.0, 100.0, plan.tolerancePercent)) {
            return false;
        }
        if (plan.from > plan.to) {
            const JsonValue* from = item.member("from");
            refuse(from != nullptr ? *from : item, fieldPath(path, "from"),
                   QStringLiteral("from (%1) is above to (%2)").arg(plan.from).arg(plan.to));
            return false;
        }
        if (plan.tolerancePercent <= 0.0) {
            const JsonValue* tolerance = item.member("tolerance_pct");
            refuse(tolerance != nullptr ? *tolerance : item, fieldPath(path, "tolerance_pct"),
                   QStringLiteral("must be above 0"));
            return false;
        }
        if (const QString problem = LinearityPlanError(plan); !problem.isEmpty()) {
            refuse(item, path, problem);
            return false;
        }
        return true;
    }

    bool readCalibration(const JsonValue& item, const QString& path, StepPlan& step) {
        int span = step.span;
        if (!known(item, path, {"name", "enabled", "commands", "span", "timeout_ms"}) ||
            !integer(item, "span", path, ModuleCommand::OutputSpanMinimum,
                     ModuleCommand::OutputSpanMaximum, span) ||
            !milliseconds(item, "timeout_ms", path, 100, step.timeout)) {
            return false;
        }
        step.span = static_cast<std::uint16_t>(span);
        const JsonValue* commands = item.member("commands");
        if (commands == nullptr) {
            return true;
        }
        const QString field = fieldPath(path, "commands");
        if (commands->type != JsonValue::Type::Array || commands->items.empty()) {
            refuse(*commands, field, QStringLiteral("must be a list of commands, not empty"));
            return false;
        }
        step.commands.clear();
        for (std::size_t i = 0; i < commands->items.size(); ++i) {
            const JsonValue& command = commands->items[i];
            const std::optional<CalibrationCommand> known =
                command.type == JsonValue::Type::String ? CalibrationCommandOfName(command.string)
                                                        : std::nullopt;
            if (!known) {
                refuse(command, QStringLiteral("%1[%2]").arg(field).arg(i),
                       QStringLiteral("unknown command (input-zero, input-20mA, output-span)"));
                return false;
            }
            step.commands.push_back(*known);
        }
        return true;
    }
};

} // namespace

QString StepKindName(StepKind kind) {
    for (const KindName& entry : StepNames) {
        if (entry.kind == kind) {
            return QString::fromLatin1(entry.name);
        }
    }
    return {};
}

std::optional<StepKind> StepKindOfName(const QString& name) {
    for (const KindName& entry : StepNames) {
        if (name == QLatin1String(entry.name)) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

QString CalibrationCommandName(CalibrationCommand command) {
    for (const CommandName& entry : CommandNames) {
        if (entry.command == command) {
            return QString::fromLatin1(entry.name);
        }
    }
    return {};
}

std::optional<CalibrationCommand> CalibrationCommandOfName(const QString& name) {
    for (const CommandName& entry : CommandNames) {
        if (name == QLatin1String(entry.name)) {
            return entry.command;
        }
    }
    return std::nullopt;
}

TestPlan DefaultTestPlan() {
    TestPlan plan;
    for (const KindName& entry : StepNames) {
        StepPlan step;
        step.kind = entry.kind;
        step.enabled = entry.kind != StepKind::Calibration;
        if (entry.kind == StepKind::Relay) {
            step.timeout = std::chrono::milliseconds{2000};
        }
        plan.steps.push_back(step);
    }
    return plan;
}

QByteArray TestPlanJson(const TestPlan& plan) {
    JsonValue steps = JsonValue::Array();
    for (const StepPlan& step : plan.steps) {
        steps.append(stepJson(step));
    }
    JsonValue root = JsonValue::Object();
    root.add("plan", JsonValue::Text(plan.name));
    root.add("address", JsonValue::Number(plan.address));
    root.add("baud", JsonValue::Number(plan.baud));
    root.add("loopback", JsonValue::Flag(plan.loopback));
    root.add("stop_at_first_failure", JsonValue::Flag(plan.stopAtFirstFailure));
    root.add("steps", std::move(steps));
    return WriteJson(root);
}

PlanRead ReadTestPlan(const QByteArray& text) {
    const JsonParse parsed = ParseJson(text);
    if (!parsed.value) {
        return {std::nullopt,
                QStringLiteral("line %1: %2").arg(parsed.errorLine).arg(parsed.error)};
    }
    PlanChecker checker;
    std::optional<TestPlan> plan = checker.read(*parsed.value);
    return {std::move(plan), checker.error};
}

namespace {

// Plans are small; anything larger is not one.
constexpr std::size_t PlanMaximumSize = 1 << 20;

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

LoadedPlan LoadTestPlan(const QString& path) {
    LoadedPlan loaded;
    if (path.isEmpty()) {
        const TestPlan plan = DefaultTestPlan();
        loaded.plan = plan;
        loaded.sha256 = sha256(TestPlanJson(plan));
        return loaded;
    }
    const FileReadResult file = readWholeFile(path, PlanMaximumSize);
    if (file.error != 0) {
        loaded.error = QStringLiteral("plan %1: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(file.error)));
        return loaded;
    }
    PlanRead read = ReadTestPlan(file.content);
    if (!read.plan) {
        loaded.error = QStringLiteral("plan %1: %2").arg(path, read.error);
        return loaded;
    }
    loaded.plan = std::move(read.plan);
    loaded.sha256 = sha256(file.content);
    return loaded;
}

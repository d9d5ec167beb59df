// Program entry. The windows and the headless runner are started from here.

#include "app/HeadlessMain.h"
#include "app/RunnerOptions.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// Until the windows exist, a plain --simulate shows the tool at work for a while.
constexpr int SimulationDemoCycles = 20;

void printText(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.contains("--help") || arguments.contains("-h")) {
        printText(stdout, RunnerUsage());
        return 0;
    }
    const RunnerArguments parsed = ParseRunnerArguments(arguments);
    if (!parsed.options) {
        printText(stderr, "kestro-modbus-m: " + parsed.error + "\n\n" + RunnerUsage());
        return 2;
    }
    RunnerOptions options = *parsed.options;
    if (!options.headless) {
        if (!options.simulate) {
            printText(stderr, "kestro-modbus-m: the window is not available in this build; use "
                              "--headless\n\n" +
                                  RunnerUsage());
            return 2;
        }
        if (!options.cycles) {
            options.cycles = SimulationDemoCycles;
        }
    }
    return RunHeadless(options);
}

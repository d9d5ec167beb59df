// Program entry: the windows, or the headless runner with --headless.

#include "app/HeadlessMain.h"
#include "app/RunnerOptions.h"
#include "app/WindowMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// Without a display, --simulate shows the tool at work on the terminal for a while.
constexpr int SimulationDemoCycles = 20;

void printText(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

bool hasArgument(int argc, char** argv, const char* wanted) {
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], wanted) == 0) {
            return true;
        }
    }
    return false;
}

int runHeadless(int argc, char** argv, bool demonstration) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (demonstration) {
        // Nobody is there to press Start on: the runner starts at once anyway.
        arguments.removeAll(QStringLiteral("--start"));
    }
    if (arguments.contains("--help") || arguments.contains("-h")) {
        printText(stdout, RunnerUsage() + WindowUsage());
        return 0;
    }
    const RunnerArguments parsed = ParseRunnerArguments(arguments);
    if (!parsed.options) {
        printText(stderr, "kestro-modbus-m: " + parsed.error + "\n\n" + RunnerUsage());
        return 2;
    }
    RunnerOptions options = *parsed.options;
    if (demonstration && !options.cycles) {
        options.cycles = SimulationDemoCycles;
    }
    return RunHeadless(options);
}

// The program's arguments after its name, as Qt will see them too.
QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.append(QString::fromLocal8Bit(argv[index]));
    }
    return arguments;
}

int runWindows(int argc, char** argv, const WindowOptions& options) {
    // Window positions are pixels at 96 dots per inch, whatever the screen.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    return RunWindows(options);
}

} // namespace

int main(int argc, char** argv) {
    if (hasArgument(argc, argv, "--version")) {
        std::printf("kestro-modbus-m %s\n", KESTRO_VERSION);
        return 0;
    }
    if (hasArgument(argc, argv, "--headless") || hasArgument(argc, argv, "--help") ||
        hasArgument(argc, argv, "-h")) {
        return runHeadless(argc, argv, false);
    }
    const WindowArguments parsed = ParseWindowArguments(argumentList(argc, argv));
    const std::optional<WindowOptions>& options = parsed.options;
    if (!options) {
        printText(stderr,
                  "kestro-modbus-m: " + parsed.error + "\n\n" + RunnerUsage() + WindowUsage());
        return 2;
    }
    if (!DisplayAvailable()) {
        if (options->simulate) {
            std::fputs("kestro-modbus-m: no display (DISPLAY, WAYLAND_DISPLAY and "
                       "QT_QPA_PLATFORM are unset); running the headless runner on the "
                       "virtual module instead.\n",
                       stderr);
            return runHeadless(argc, argv, true);
        }
        printText(stderr, QStringLiteral("kestro-modbus-m: no display to show the window on "
                                         "(DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are "
                                         "unset); use --headless.\n\n") +
                              RunnerUsage());
        return 2;
    }
    return runWindows(argc, argv, *options);
}

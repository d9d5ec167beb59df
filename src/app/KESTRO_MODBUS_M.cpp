// Program entry: the windows, or the headless runner with --headless.

#include "app/CommandLine.h"
#include "app/Language.h"
#include "app/WindowMain.h"
#include "runner/HeadlessMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>

namespace {

// Without a display, --simulate shows the tool at work on the terminal for a while.
constexpr int SimulationDemoCycles = 20;

// Program names and version numbers are the same in every language.
constexpr char VersionUsage[] = "\n"
                                "       kestro-modbus-m --version\n"
                                "  --version          print the program's name and version\n";

void printText(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

bool asksForHelp(const QStringList& arguments) {
    return arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"));
}

// The program's arguments after its name, before Qt takes its own out.
QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.append(QString::fromLocal8Bit(argv[index]));
    }
    return arguments;
}

int runHeadless(QStringList arguments, bool demonstration) {
    if (demonstration) {
        // Nobody is there to press Start on: the runner starts at once anyway.
        arguments.removeAll(QStringLiteral("--start"));
    }
    if (asksForHelp(arguments)) {
        printText(stdout, RunnerUsage() + WindowUsage() + QString::fromLatin1(VersionUsage));
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

// The window's command line. Where no window can be shown, --simulate runs the
// runner on the virtual module instead, anything else is told to use --headless.
int runWindowCommandLine(const QStringList& arguments, bool display) {
    const WindowArguments parsed = ParseWindowArguments(arguments);
    if (!parsed.options) {
        printText(stderr,
                  "kestro-modbus-m: " + parsed.error + "\n\n" + RunnerUsage() + WindowUsage());
        return 2;
    }
    if (display) {
        return RunWindows(*parsed.options);
    }
    if (parsed.options->simulate) {
        printText(stderr, QCoreApplication::translate(
                              "KESTRO_MODBUS_M",
                              "kestro-modbus-m: no display (DISPLAY, WAYLAND_DISPLAY and "
                              "QT_QPA_PLATFORM are unset); running the headless runner on "
                              "the virtual module instead.\n"));
        return runHeadless(arguments, true);
    }
    printText(stderr,
              QCoreApplication::translate(
                  "KESTRO_MODBUS_M", "kestro-modbus-m: no display to show the window on (DISPLAY, "
                                     "WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); use "
                                     "--headless.\n\n") +
                  RunnerUsage());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argumentList(argc, argv).contains(QStringLiteral("--version"))) {
        std::printf("kestro-modbus-m %s\n", KESTRO_VERSION);
        return 0;
    }
    const LanguageArguments language = ChooseLanguage(
        argumentList(argc, argv), qEnvironmentVariable("KESTRO_LANG"), QLocale::system());
    if (!language.language) {
        printText(stderr, "kestro-modbus-m: " + language.error + "\n\n" + RunnerUsage());
        return 2;
    }
    const QStringList& arguments = language.options;
    const bool headless =
        arguments.contains(QStringLiteral("--headless")) || asksForHelp(arguments);
    if (!headless && DisplayAvailable()) {
        // Window positions are pixels at 96 dots per inch. Qt scales them by
        // the desktop's own factor (Xft.dpi on X11, the compositor's scale on
        // Wayland, QT_SCALE_FACTOR on top), as it does for every Qt program,
        // and the self-drawn controls paint at the resulting pixel ratio; at
        // 96 dots per inch the ratio is 1 and every pixel is as laid out.
        QApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(KESTRO_VERSION));
        InstallCatalogue(app, *language.language, stderr);
        return runWindowCommandLine(arguments, true);
    }
    // Without a window Qt's plain Unix event loop is enough, and it wakes for
    // a timer or a hand-over from the port's event thread with fewer system
    // calls than the GLib one, so each poll costs less CPU (poll_cpu_bench;
    // docs/performance.md).
    qputenv("QT_NO_GLIB", "1");
    if (headless && arguments.contains(QStringLiteral("--test"))) {
        // The function test lays out its PDF report with Qt's fonts, which
        // need a platform; it shows no window, so none on screen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(KESTRO_VERSION));
        InstallCatalogue(app, *language.language, stderr);
        return runHeadless(arguments, false);
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRO_VERSION));
    InstallCatalogue(app, *language.language, stderr);
    return headless ? runHeadless(arguments, false) : runWindowCommandLine(arguments, false);
}

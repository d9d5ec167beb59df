#pragma once
// The program with its windows: the main window, then the hidden write
// dialog, then the message loop until the main window closes.

#include "runner/RunnerOptions.h"
#include "ui/functest/ProductionTestWindow.h"

#include <QString>
#include <QStringList>
#include <optional>

struct WindowOptions {
    /// Poll the in-process virtual module instead of the stored port.
    bool simulate = false;
    /// Press Start as soon as the main window is up (for demonstrations and
    /// screenshots).
    bool pressStart = false;
    /// Record the traffic from the start, and the size of a recording file.
    RecordOptions record;
    /// The production test's plan, report folder and station log.
    TestFiles test;
    /// Open the production test window once the main window is up.
    bool openTest = false;
};

struct WindowArguments {
    std::optional<WindowOptions> options;
    QString error; ///< set when options is empty
};

/// The window's command line, the arguments after the program name. Options
/// of Qt itself (one dash: -platform, -style, ...) are left alone.
WindowArguments ParseWindowArguments(const QStringList& arguments);

/// The window's part of the usage text.
QString WindowUsage();

/// Runs the windows on the QApplication that exists; returns the exit status.
int RunWindows(const WindowOptions& options);

/// True when a window can be shown: an X or Wayland display, or a Qt
/// platform chosen explicitly.
bool DisplayAvailable();

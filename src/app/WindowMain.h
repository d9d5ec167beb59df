#pragma once
// The program with its windows: the main window, then the hidden write
// dialog, then the message loop until the main window closes.

struct WindowOptions {
    /// Poll the in-process virtual module instead of the stored port.
    bool simulate = false;
    /// Press Start as soon as the main window is up (for demonstrations and
    /// screenshots).
    bool pressStart = false;
};

/// Runs the windows on the QApplication that exists; returns the exit status.
int RunWindows(const WindowOptions& options);

/// True when a window can be shown: an X or Wayland display, or a Qt
/// platform chosen explicitly.
bool DisplayAvailable();

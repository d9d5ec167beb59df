#pragma once
// The application's general error reporting: where errors go that no caller
// can receive (an event handler run from the event loop, a port that fails to
// open when a window finishes loading). The program installs a handler that
// shows a message box; without one the message goes to the warning log.
// Reports from other threads are handed to the main thread's event loop.

#include <functional>
#include <string>

using ApplicationErrorHandler = std::function<void(const std::string& message)>;

/// Installs the handler and returns the previous one.
ApplicationErrorHandler SetApplicationErrorHandler(ApplicationErrorHandler handler);
void ReportApplicationError(const std::string& message);

#include "ApplicationErrors.h"

#include <QtGlobal>
#include <mutex>
#include <utility>

namespace {

std::mutex& handlerMutex() {
    static std::mutex mutex;
    return mutex;
}

ApplicationErrorHandler& installedHandler() {
    static ApplicationErrorHandler handler;
    return handler;
}

} // namespace

ApplicationErrorHandler SetApplicationErrorHandler(ApplicationErrorHandler handler) {
    std::lock_guard lock(handlerMutex());
    return std::exchange(installedHandler(), std::move(handler));
}

void ReportApplicationError(const std::string& message) {
    ApplicationErrorHandler handler;
    {
        std::lock_guard lock(handlerMutex());
        handler = installedHandler();
    }
    if (handler) {
        handler(message);
    } else {
        qWarning("%s", message.c_str());
    }
}

#include "platform/system/ApplicationErrors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
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
    // The handler shows a message box, which only the main thread may do; a
    // report from another thread (a serial event thread) is handed over and
    // shown from the event loop, without waiting for it.
    QCoreApplication* application = QCoreApplication::instance();
    if (application != nullptr && QThread::currentThread() != application->thread()) {
        QMetaObject::invokeMethod(
            application, [message] { ReportApplicationError(message); }, Qt::QueuedConnection);
        return;
    }
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

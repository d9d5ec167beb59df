#include "platform/system/MainThreadQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

MainThreadQueue& MainThreadQueue::instance() {
    static MainThreadQueue queue;
    return queue;
}

bool MainThreadQueue::onMainThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

void MainThreadQueue::postToEventLoop() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            application, [this] { serve(); }, Qt::QueuedConnection);
    }
}

std::exception_ptr MainThreadQueue::runOnMainThread(std::function<void()> job) {
    if (onMainThread()) {
        try {
            job();
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    request->job = std::move(job);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        ++m_generation;
    }
    m_changed.notify_all();
    postToEventLoop();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return request->done; });
    return request->error;
}

void MainThreadQueue::serve() {
    for (;;) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(m_mutex);
            if (m_requests.empty()) {
                return;
            }
            request = m_requests.front();
            m_requests.pop_front();
        }
        try {
            request->job();
        } catch (...) {
            request->error = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            request->done = true;
        }
        m_changed.notify_all();
    }
}

void MainThreadQueue::notify() {
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
    }
    m_changed.notify_all();
}

void MainThreadQueue::serveUntil(const std::function<bool()>& finished,
                                 std::chrono::milliseconds interval) {
    for (;;) {
        serve();
        if (finished()) {
            return;
        }
        std::unique_lock lock(m_mutex);
        const unsigned seen = m_generation;
        m_changed.wait_for(lock, interval,
                           [&] { return m_generation != seen || !m_requests.empty(); });
    }
}

#pragma once
// Hand-over of work from other threads to the main (Qt) thread. A worker
// queues a job and blocks until the main thread has run it; the main thread
// runs queued jobs from its event loop, or explicitly while it waits for a
// worker to end, so that a worker blocked in a hand-over can always finish.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

class MainThreadQueue {
public:
    static MainThreadQueue& instance();

    /// Runs job on the main thread and returns once it has run, with the
    /// exception it raised, if any. On the main thread itself it runs at once.
    std::exception_ptr runOnMainThread(std::function<void()> job);

    /// Runs every queued job (main thread).
    void serve();

    /// Serves queued jobs until finished() holds (main thread). Wakes for each
    /// queued job, for notify(), and at least once per interval.
    void serveUntil(const std::function<bool()>& finished,
                    std::chrono::milliseconds interval = std::chrono::milliseconds(1000));

    /// Wakes serveUntil so that it checks its condition again (any thread).
    void notify();

    static bool onMainThread();

private:
    struct Request {
        std::function<void()> job;
        std::exception_ptr error;
        bool done = false;
    };

    MainThreadQueue() = default;
    void postToEventLoop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Request>> m_requests;
    unsigned m_generation = 0;
};

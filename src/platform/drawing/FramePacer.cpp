#include "platform/drawing/FramePacer.h"

#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {

// A screen that reports no rate, or a silly one, is taken for 60 Hz.
constexpr double kDefaultRefreshRate = 60.0;
constexpr double kHighestRefreshRate = 500.0;

} // namespace

FramePacer& FramePacer::of(QWidget& widget) {
    QWidget& window = *widget.window();
    if (auto* pacer = window.findChild<FramePacer*>(QString(), Qt::FindDirectChildrenOnly)) {
        return *pacer;
    }
    return *new FramePacer(window);
}

FramePacer::FramePacer(QWidget& window) : QObject(&window), m_window(window) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FramePacer::release);
}

std::chrono::microseconds FramePacer::interval() const {
    double rate = m_window.screen() ? m_window.screen()->refreshRate() : 0.0;
    if (!(rate >= 1.0 && rate <= kHighestRefreshRate)) {
        rate = kDefaultRefreshRate;
    }
    return std::chrono::microseconds(std::llround(1e6 / rate));
}

void FramePacer::update(QWidget& widget, const QRect& area) {
    auto found =
        std::find_if(m_requests.begin(), m_requests.end(),
                     [&widget](const Request& request) { return request.widget == &widget; });
    if (found == m_requests.end()) {
        m_requests.push_back(Request{&widget, QRegion(), false});
        found = std::prev(m_requests.end());
    }
    if (area.isEmpty()) {
        found->whole = true;
    } else {
        found->area += area;
    }
    if (m_timer.isActive()) {
        return;
    }
    const auto since = std::chrono::steady_clock::now() - m_lastFrame;
    const auto frame = interval();
    if (since >= frame) {
        release();
        return;
    }
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(frame - since);
    m_timer.start(std::max(rest, std::chrono::milliseconds(1)));
}

void FramePacer::release() {
    m_lastFrame = std::chrono::steady_clock::now();
    std::vector<Request> requests;
    requests.swap(m_requests);
    for (const Request& request : requests) {
        if (!request.widget) {
            continue;
        }
        if (request.whole) {
            request.widget->update();
        } else {
            request.widget->update(request.area);
        }
    }
}

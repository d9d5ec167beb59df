#include "platform/drawing/FramePacer.h"

#include <QScreen>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

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
    m_lateTimer.setSingleShot(true);
    connect(&m_lateTimer, &QTimer::timeout, this, &FramePacer::release);
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
    schedule();
}

void FramePacer::joinNextFrame(QObject& owner, std::function<void()> work,
                               std::chrono::milliseconds latest) {
    joinNextFrame(owner, std::move(work), std::chrono::milliseconds(0), latest);
}

void FramePacer::joinNextFrame(QObject& owner, std::function<void()> work,
                               std::chrono::milliseconds earliest,
                               std::chrono::milliseconds latest) {
    const auto now = std::chrono::steady_clock::now();
    JoinedWork joined{&owner, std::move(work), now + earliest, now + std::max(earliest, latest)};
    auto found = std::find_if(m_joined.begin(), m_joined.end(),
                              [&owner](const JoinedWork& entry) { return entry.owner == &owner; });
    if (found == m_joined.end()) {
        m_joined.push_back(std::move(joined));
    } else {
        // The replaced work was promised to run by its latest; never before
        // the new work's earliest.
        joined.latest = std::max(joined.earliest, std::min(found->latest, joined.latest));
        *found = std::move(joined);
    }
    armLateTimer();
}

void FramePacer::armLateTimer() {
    if (m_joined.empty() && !m_heldBack) {
        m_lateTimer.stop();
        return;
    }
    const auto gapEnd = m_lastFrame + 2 * m_heldGap;
    auto due = gapEnd;
    if (!m_joined.empty()) {
        const auto first = std::min_element(m_joined.begin(), m_joined.end(),
                                            [](const JoinedWork& one, const JoinedWork& other) {
                                                return one.latest < other.latest;
                                            });
        due = std::max(first->latest, gapEnd);
    }
    const auto rest =
        std::chrono::ceil<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
    m_lateTimer.start(std::max(rest, std::chrono::milliseconds(0)));
}

bool FramePacer::joinedWorkDue() const {
    const auto now = std::chrono::steady_clock::now();
    return std::any_of(m_joined.begin(), m_joined.end(),
                       [now](const JoinedWork& entry) { return entry.earliest <= now; });
}

void FramePacer::hold(Joined joined) {
    ++m_holds;
    m_showJoined = m_showJoined || joined == Joined::Show;
}

void FramePacer::resume() {
    if (m_holds == 0 || --m_holds > 0) {
        return;
    }
    // Joined work alone makes no frame unless a hold asked to show it.
    const bool showJoined = std::exchange(m_showJoined, false) && joinedWorkDue();
    if (m_requests.empty() && !showJoined && !m_heldBack) {
        return;
    }
    const auto since = std::chrono::steady_clock::now() - m_lastFrame;
    if (since >= m_heldGap && since >= interval()) {
        m_timer.stop();
        release();
        return;
    }
    if (m_heldGap > std::chrono::milliseconds(0)) {
        holdBack();
        return;
    }
    schedule();
}

void FramePacer::holdBack() {
    // The late timer stands in for the frame the hold would have asked for.
    m_heldBack = true;
    if (m_timerForHold) {
        m_timer.stop();
    }
    armLateTimer();
}

void FramePacer::schedule() {
    if (m_timer.isActive()) {
        return;
    }
    const auto since = std::chrono::steady_clock::now() - m_lastFrame;
    const auto frame = interval();
    if (since >= frame && m_holds == 0) {
        release();
        return;
    }
    // While held the repaints go out when the hold ends; should the holder
    // wait for something else meanwhile (a message box), a frame later.
    const auto rest = since >= frame ? frame : frame - since;
    m_timerForHold = m_holds > 0;
    m_timer.start(
        std::max(std::chrono::ceil<std::chrono::milliseconds>(rest), std::chrono::milliseconds(1)));
}

void FramePacer::release() {
    // Taken first: the late timer of the work left waiting counts from it.
    m_lastFrame = std::chrono::steady_clock::now();
    m_heldBack = false;
    runJoinedWork();
    m_timer.stop();
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

void FramePacer::runJoinedWork() {
    // Work not yet due waits for a later frame.
    const auto now = std::chrono::steady_clock::now();
    std::vector<JoinedWork> due;
    const auto waiting =
        std::stable_partition(m_joined.begin(), m_joined.end(),
                              [now](const JoinedWork& entry) { return entry.earliest > now; });
    std::move(waiting, m_joined.end(), std::back_inserter(due));
    m_joined.erase(waiting, m_joined.end());
    armLateTimer();
    // What the work asks the pacer to repaint goes out with this frame.
    ++m_holds;
    for (const JoinedWork& entry : due) {
        if (entry.owner) {
            entry.work();
        }
    }
    --m_holds;
}

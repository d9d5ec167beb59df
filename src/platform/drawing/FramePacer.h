#pragma once
// Holds the repaints that a window's self-drawn controls ask for while polling
// to at most one a screen refresh. A poll on a fast line changes a counter, a cell
// or a read-out each time; painting each change at once would paint the window
// more often than the screen can show it. A control hands its repaint to the
// pacer of its window: when no frame went out within the last refresh
// interval the repaint is asked for at once, otherwise the pacer gathers it
// with the others and asks for all of them together when the interval ends.
// A handler that changes several controls in one go (a poll's reply fills
// cells, read-outs and counters) holds the pacer meanwhile, so that all its
// changes make one frame instead of the first at once and the rest a refresh
// later.
//
// A change that need not be seen at once (a counter, the monitor's next
// lines) can join the next frame that goes out anyway instead of making one of
// its own: each frame costs a pass over the window, and a counter changed as a
// request goes out would otherwise make a frame of its own a few milliseconds
// before the reply's.
//
// A window that polls may ask for fewer frames than the screen could show:
// with a gap set, the changes made under holds go out at most once a gap,
// with the first hold that ends once the gap has passed. A poll's values are
// read by eye, not watched frame by frame, and each frame costs a pass over
// the window. Repaints asked for outside holds (the operator moving in the
// grid) are not held back by the gap.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <vector>

class FramePacer : public QObject {
    Q_OBJECT
public:
    /// The pacer of `widget`'s window, made with the first request.
    static FramePacer& of(QWidget& widget);

    /// Asks for `area` of `widget` (all of it when `area` is empty) to be
    /// repainted with the next frame.
    void update(QWidget& widget, const QRect& area = QRect());

    /// Runs `work` as the next frame goes out, so that what it changes is
    /// painted with that frame; when no frame goes out within `latest`, it
    /// makes one. Work joined again for the same owner replaces the waiting
    /// work; the work of an owner destroyed meanwhile is dropped.
    void joinNextFrame(QObject& owner, std::function<void()> work,
                       std::chrono::milliseconds latest);
    /// The same for work that is not to run before `earliest`: it joins the
    /// first frame after that.
    void joinNextFrame(QObject& owner, std::function<void()> work,
                       std::chrono::milliseconds earliest, std::chrono::milliseconds latest);

    /// The time between two frames: one refresh of the window's screen.
    std::chrono::microseconds interval() const;

    /// The least time between two frames for changes made under holds
    /// (0, the default: one refresh). Changes held back by it go out with the
    /// first hold that ends after the gap, or on their own once twice the gap
    /// has passed since the last frame; joined work due sooner than that
    /// waits for it too.
    void setHeldFrameGap(std::chrono::milliseconds gap) { m_heldGap = gap; }
    /// True while repaints wait for the next frame.
    bool waiting() const { return m_timer.isActive() || m_lateTimer.isActive(); }

    /// Whether the end of a hold makes a frame for joined work alone.
    enum class Joined { Wait, Show };

    /// Gathers the repaints asked for while it lives (holds nest); once the
    /// last hold ends they go out as update() would have sent them. A hold
    /// that shows joined work sends a frame at its end for that work too (a
    /// reply that changed no cell still shows the counters).
    class Hold {
    public:
        explicit Hold(QWidget& widget, Joined joined = Joined::Wait)
            : m_pacer(FramePacer::of(widget)) {
            m_pacer.hold(joined);
        }
        ~Hold() { m_pacer.resume(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        FramePacer& m_pacer;
    };

private:
    explicit FramePacer(QWidget& window);
    void hold(Joined joined);
    void resume();
    void schedule();
    void release();
    void runJoinedWork();
    bool joinedWorkDue() const;
    void armLateTimer();
    void holdBack();

    struct Request {
        QPointer<QWidget> widget;
        QRegion area;
        bool whole = false;
    };
    struct JoinedWork {
        QPointer<QObject> owner;
        std::function<void()> work;
        std::chrono::steady_clock::time_point earliest;
        std::chrono::steady_clock::time_point latest;
    };

    QWidget& m_window;
    std::vector<Request> m_requests;
    std::vector<JoinedWork> m_joined;
    QTimer m_timer;
    // Runs for the joined work that would otherwise wait too long.
    QTimer m_lateTimer;
    std::chrono::steady_clock::time_point m_lastFrame;
    std::chrono::milliseconds m_heldGap{0};
    int m_holds = 0;
    // The frame timer runs for repaints asked for under a hold.
    bool m_timerForHold = false;
    // Changes made under holds wait for the gap to pass.
    bool m_heldBack = false;
    // A hold asked to show the joined work when the holds end.
    bool m_showJoined = false;
};

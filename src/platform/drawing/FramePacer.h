#pragma once
// Holds the repaints that a window's self-drawn controls ask for while polling
// to at most one a screen refresh. A poll every 7 ms changes a counter, a cell
// or a read-out each time; painting each change at once would paint the window
// more often than the screen can show it. A control hands its repaint to the
// pacer of its window: when no frame went out within the last refresh
// interval the repaint is asked for at once, otherwise the pacer gathers it
// with the others and asks for all of them together when the interval ends.
// A handler that changes several controls in one go (a poll's reply fills
// cells, read-outs and counters) holds the pacer meanwhile, so that all its
// changes make one frame instead of the first at once and the rest a refresh
// later.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <vector>

class FramePacer : public QObject {
    Q_OBJECT
public:
    /// The pacer of `widget`'s window, made with the first request.
    static FramePacer& of(QWidget& widget);

    /// Asks for `area` of `widget` (all of it when `area` is empty) to be
    /// repainted with the next frame.
    void update(QWidget& widget, const QRect& area = QRect());

    /// The time between two frames: one refresh of the window's screen.
    std::chrono::microseconds interval() const;
    /// True while repaints wait for the next frame.
    bool waiting() const { return m_timer.isActive(); }

    /// Gathers the repaints asked for while it lives (holds nest); once the
    /// last hold ends they go out as update() would have sent them.
    class Hold {
    public:
        explicit Hold(QWidget& widget) : m_pacer(FramePacer::of(widget)) { m_pacer.hold(); }
        ~Hold() { m_pacer.resume(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        FramePacer& m_pacer;
    };

private:
    explicit FramePacer(QWidget& window);
    void hold();
    void resume();
    void schedule();
    void release();

    struct Request {
        QPointer<QWidget> widget;
        QRegion area;
        bool whole = false;
    };

    QWidget& m_window;
    std::vector<Request> m_requests;
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_lastFrame;
    int m_holds = 0;
};

#pragma once
// A scroll bar of the traffic monitor. Every batch of lines moves the
// vertical bar's range and value, and a scroll bar repaints itself on every
// such move, although with more than a screenful of lines the handle stays on
// the same pixels for many batches. This bar repaints on a range or value change only when it
// would be drawn differently from its last paint: another handle rectangle,
// another state, or the handle reaching or leaving an end.

#include <QScrollBar>
#include <QStyle>
#include <optional>

class MonitorScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit MonitorScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    /// How often the bar painted itself.
    int PaintCount() const { return m_paints; }

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What a paint of the bar depends on, once range and value are mapped
    // to pixels.
    struct Look {
        QRect bar;
        QRect handle;
        QStyle::State state;
        QStyle::SubControls active;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const;
    void repaintIfChanged();

    std::optional<Look> m_painted;
    int m_paints = 0;
    bool m_lookQueued = false;
};

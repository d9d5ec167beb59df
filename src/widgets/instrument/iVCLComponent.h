#pragma once
// Adds transparency and the per-control paint lock to the instrument base.
// A transparent control shows the pixels under it: it keeps a snapshot of
// what its parent (and any sibling beneath) draws in its rectangle and uses
// that snapshot as its background.

#include "widgets/instrument/iComponent.h"

#include <QImage>
#include <mutex>

class TiVCLComponent : public TiComponent {
    Q_OBJECT
public:
    explicit TiVCLComponent(QWidget* parent = nullptr);
    ~TiVCLComponent() override;

    void SetTransparent(bool value) override;
    void Lock() override;
    void Unlock() override;

    /// True while the snapshot must be taken again before it is used.
    bool SnapshotStale() const { return m_snapshotStale; }

protected:
    void DrawBackground(QPainter& canvas, TColor color) override;
    void Changed() override;
    void BoundsChanged(bool resized) override;
    void paintEvent(QPaintEvent* event) override;

private:
    /// A fresh, stale snapshot of the control's size at the screen's pixel ratio.
    void makeSnapshot();
    void refreshSnapshot();
    bool cornersVisible() const;

    std::recursive_mutex m_paintLock;
    QImage m_parentSnapshot;
    bool m_snapshotStale = false;
    bool m_capturing = false;
};

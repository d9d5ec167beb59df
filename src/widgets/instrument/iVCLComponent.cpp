#include "widgets/instrument/iVCLComponent.h"

#include <QRegion>
#include <algorithm>
#include <cmath>

namespace {
// The snapshot is trusted only when these points, this far inside each corner,
// are all unobscured.
constexpr int kCornerInset = 5;
} // namespace

TiVCLComponent::TiVCLComponent(QWidget* parent) : TiComponent(parent) {}

TiVCLComponent::~TiVCLComponent() {
    setDestroying();
}

void TiVCLComponent::Lock() {
    if (!Destroying()) {
        m_paintLock.lock();
    }
}

void TiVCLComponent::Unlock() {
    if (!Destroying()) {
        m_paintLock.unlock();
    }
}

void TiVCLComponent::SetTransparent(bool value) {
    if (value == Transparent()) {
        return;
    }
    if (value) {
        makeSnapshot();
    } else {
        m_parentSnapshot = QImage();
        m_snapshotStale = false;
    }
    TiComponent::SetTransparent(value);
}

void TiVCLComponent::makeSnapshot() {
    // At the screen's resolution, so that text and lines beneath the control
    // stay as sharp as the rest of the window.
    const qreal ratio = devicePixelRatioF();
    m_parentSnapshot = QImage(std::max(int(std::ceil(Width() * ratio)), 1),
                              std::max(int(std::ceil(Height() * ratio)), 1), QImage::Format_RGB32);
    m_parentSnapshot.setDevicePixelRatio(ratio);
    m_snapshotStale = true;
}

void TiVCLComponent::Changed() {
    if (Transparent()) {
        m_snapshotStale = true;
    }
    TiComponent::Changed();
}

void TiVCLComponent::BoundsChanged(bool resized) {
    if (Transparent()) {
        if (resized) {
            makeSnapshot();
        }
        m_snapshotStale = true;
    }
    TiComponent::BoundsChanged(resized);
}

void TiVCLComponent::paintEvent(QPaintEvent* event) {
    // While the parent is rendered for our snapshot, this control paints
    // nothing, so the snapshot holds only what lies beneath it.
    if (m_capturing) {
        return;
    }
    TiComponent::paintEvent(event);
}

void TiVCLComponent::DrawBackground(QPainter& canvas, TColor color) {
    if (!Transparent()) {
        TiComponent::DrawBackground(canvas, color);
        return;
    }
    if (m_parentSnapshot.devicePixelRatio() != devicePixelRatioF()) {
        makeSnapshot(); // moved to a screen of another scale
    }
    if (m_snapshotStale) {
        refreshSnapshot();
    }
    canvas.drawImage(QPoint(0, 0), m_parentSnapshot);
}

bool TiVCLComponent::cornersVisible() const {
    if (!isVisible() || !parentWidget()) {
        return false;
    }
    const QRegion visible = visibleRegion();
    const int right = Width() - kCornerInset;
    const int bottom = Height() - kCornerInset;
    for (const QPoint point : {QPoint(kCornerInset, kCornerInset), QPoint(right, kCornerInset),
                               QPoint(kCornerInset, bottom), QPoint(right, bottom)}) {
        if (!visible.contains(point)) {
            return false;
        }
    }
    return true;
}

void TiVCLComponent::refreshSnapshot() {
    if (!cornersVisible()) {
        // Partly covered or not on screen: stand in with the background colour
        // and try again at the next paint.
        m_parentSnapshot.fill(toQColor(BackGroundColor()));
        return;
    }
    m_capturing = true;
    // The parent's own face first, then every visible sibling beneath this
    // control (earlier in the stacking order) that overlaps it. This control is
    // never rendered into its own snapshot.
    m_parentSnapshot.fill(toQColor(BackGroundColor()));
    QWidget* parent = parentWidget();
    parent->render(&m_parentSnapshot, QPoint(0, 0), QRegion(geometry()),
                   QWidget::DrawWindowBackground);
    for (QObject* child : parent->children()) {
        if (child == this) {
            break;
        }
        auto* sibling = qobject_cast<QWidget*>(child);
        if (!sibling || !sibling->isVisible() || sibling->isWindow()) {
            continue;
        }
        const QRect overlap = sibling->geometry().intersected(geometry());
        if (overlap.isEmpty()) {
            continue;
        }
        sibling->render(&m_parentSnapshot, overlap.topLeft() - pos(),
                        QRegion(overlap.translated(-sibling->pos())),
                        QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    m_capturing = false;
    m_snapshotStale = false;
}

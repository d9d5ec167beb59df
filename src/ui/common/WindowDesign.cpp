#include "ui/common/WindowDesign.h"

#include "platform/drawing/Color.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

void ApplyLayout(QWidget& window, std::span<const ControlBounds> layout) {
    for (const ControlBounds& bounds : layout) {
        if (auto* control = window.findChild<QWidget*>(QLatin1String(bounds.name))) {
            control->setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
        }
    }
}

void UseButtonFaceBackground(QWidget& window) {
    QPalette face = window.palette();
    face.setColor(QPalette::Window, toQColor(clBtnFace));
    window.setPalette(face);
    window.setAutoFillBackground(true);
}

void CentreOnScreen(QWidget& window) {
    const QScreen* where =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (where == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    window.move(frame.topLeft());
}

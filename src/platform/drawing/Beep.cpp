#include "platform/drawing/Beep.h"

#include <QApplication>
#include <utility>

namespace {

Beep::Observer& installedObserver() {
    static Beep::Observer observer;
    return observer;
}

} // namespace

namespace Beep {

void play() {
    if (const Observer& observer = installedObserver()) {
        observer();
        return;
    }
    QApplication::beep();
}

Observer setObserver(Observer observer) {
    return std::exchange(installedObserver(), observer);
}

} // namespace Beep

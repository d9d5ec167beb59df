#include "widgets/grid/FrameController.h"

#include "widgets/grid/FramedStringGrid.h"

#include <algorithm>

TFrameController::TFrameController(QObject* parent) : QObject(parent) {}

TFrameController::~TFrameController() {
    // Controls told here drop their reference; none may call back into a
    // half-destroyed controller, so the list is emptied first.
    const std::vector<TFramedStringGrid*> controls = std::move(m_controls);
    m_controls.clear();
    for (TFramedStringGrid* control : controls) {
        control->FrameControllerDestroyed(this);
    }
}

void TFrameController::RegisterControl(TFramedStringGrid* control) {
    if (control != nullptr && !IsRegistered(control)) {
        m_controls.push_back(control);
    }
}

void TFrameController::UnregisterControl(TFramedStringGrid* control) {
    std::erase(m_controls, control);
}

bool TFrameController::IsRegistered(const TFramedStringGrid* control) const {
    return std::find(m_controls.begin(), m_controls.end(), control) != m_controls.end();
}

#pragma once
// A shared source of frame settings for framed controls. Controls register
// with it through their FrameController property; when the controller goes
// away each registered control forgets it.

#include <QObject>
#include <vector>

class TFramedStringGrid;

class TFrameController : public QObject {
    Q_OBJECT

public:
    explicit TFrameController(QObject* parent = nullptr);
    ~TFrameController() override;

    void RegisterControl(TFramedStringGrid* control);
    void UnregisterControl(TFramedStringGrid* control);
    bool IsRegistered(const TFramedStringGrid* control) const;
    int ControlCount() const { return static_cast<int>(m_controls.size()); }

private:
    std::vector<TFramedStringGrid*> m_controls;
};

#pragma once
// A lamp that is lit or dark. The state and colours common to lamps of any
// shape live here; subclasses draw the shape.

#include "widgets/instrument/iCustomComponent.h"

class TiLed : public TiCustomComponent {
    Q_OBJECT
public:
    explicit TiLed(QWidget* parent = nullptr);

    bool Active() const { return m_active; }
    /// A changed state repaints, then fires OnChange (for program and user alike).
    void SetActive(bool value);
    TColor ActiveColor() const { return m_activeColor; }
    void SetActiveColor(TColor value);
    /// Derive the dark colour from ActiveColor (DimColor by 3).
    bool AutoInactiveColor() const { return m_autoInactiveColor; }
    void SetAutoInactiveColor(bool value);
    TColor InactiveColor() const { return m_inactiveColor; }
    void SetInactiveColor(TColor value);
    TiBevelStyle BevelStyle() const { return m_bevelStyle; }
    void SetBevelStyle(TiBevelStyle value);

    /// The colour the lamp shows in its current state.
    TColor LampColor() const;

    TNotifyEvent OnChange;

private:
    bool m_active = false;
    TColor m_activeColor = clLime;
    bool m_autoInactiveColor = true;
    TColor m_inactiveColor = 0x005500;
    TiBevelStyle m_bevelStyle = ibsLowered;
};

#pragma once
// Settings shared by multi-digit seven-segment displays: digit count and
// spacing, segment size, colours, leading fill, and sizing to the digits.
// One hidden character widget serves as the stamp that draws every cell.

#include "widgets/instrument/iCustomComponent.h"
#include "widgets/instrument/iSevenSegmentCharacter.h"

#include <QSize>
#include <memory>

enum TiLeadingStyle { ilsNone, ilsZeros, ilsSpaces };

class TiSevenSegmentDisplay : public TiCustomComponent {
    Q_OBJECT
public:
    explicit TiSevenSegmentDisplay(QWidget* parent = nullptr);
    ~TiSevenSegmentDisplay() override;

    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);
    /// Cells for digits, 1 to 32.
    int DigitCount() const { return m_digitCount; }
    void SetDigitCount(int value);
    /// Pixels between neighbouring cells.
    int DigitSpacing() const { return m_digitSpacing; }
    void SetDigitSpacing(int value);
    /// Margin between the control's edge and the row of cells; values < 0 become 0.
    int SegmentMargin() const { return m_segmentMargin; }
    void SetSegmentMargin(int value);
    TColor SegmentColor() const { return m_stamp->SegmentColor(); }
    void SetSegmentColor(TColor value);
    TColor SegmentOffColor() const { return m_stamp->SegmentOffColor(); }
    void SetSegmentOffColor(TColor value);
    bool AutoSegmentOffColor() const { return m_stamp->AutoSegmentOffColor(); }
    void SetAutoSegmentOffColor(bool value);
    /// Segment thickness unit, 1 to 100.
    int SegmentSize() const { return m_stamp->SegmentSize(); }
    void SetSegmentSize(int value);
    int SegmentSeperation() const { return m_stamp->SegmentSeperation(); }
    void SetSegmentSeperation(int value);
    bool ShowOffSegments() const { return m_showOffSegments; }
    void SetShowOffSegments(bool value);
    bool PowerOff() const { return m_powerOff; }
    void SetPowerOff(bool value);
    TiLeadingStyle LeadingStyle() const { return m_leadingStyle; }
    void SetLeadingStyle(TiLeadingStyle value);

    /// Fired after the shown value changed.
    TNotifyEvent OnValueChange;

protected:
    /// The size the control takes with AutoSize on; supplied by subclasses.
    virtual QSize GetAutoSize() = 0;
    /// Re-applies the auto-size (not while loading).
    void applyAutoSize();
    void Loaded() override;
    /// Copies the shared settings into the stamp before a paint.
    void prepareStamp();
    TiSevenSegmentCharacter& stamp() { return *m_stamp; }
    void fireValueChange();

private:
    std::unique_ptr<TiSevenSegmentCharacter> m_stamp;
    bool m_autoSize = true;
    int m_digitCount = 4;
    int m_digitSpacing = 6;
    int m_segmentMargin = 5;
    bool m_showOffSegments = true;
    bool m_powerOff = false;
    TiLeadingStyle m_leadingStyle = ilsSpaces;
};

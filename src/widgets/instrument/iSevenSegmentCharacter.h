#pragma once
// One seven-segment character cell drawn from polygons. It is a widget of its
// own and also the stamp with which the multi-digit displays draw each cell.

#include "widgets/instrument/iCustomComponent.h"

#include <cstdint>

enum TSevenSegmentCharacter {
    ssc0,
    ssc1,
    ssc2,
    ssc3,
    ssc4,
    ssc5,
    ssc6,
    ssc7,
    ssc8,
    ssc9,
    sscA,
    sscB,
    sscC,
    sscD,
    sscE,
    sscF,
    sscPeriod,
    sscColon,
    sscPlus,
    sscMinus,
    sscBlank,
    sscLine,
    sscUpArrow,
    sscDownArrow,
    sscSemiColon,
    sscComma
};

/// The code a character selects: digits, hex letters of either case, ". : + -
/// _ < > ; ,"; anything else is the blank cell.
TSevenSegmentCharacter sevenSegmentCodeOf(QChar character);
/// The character a code reads back as (letters in lower case, blank as a space).
QChar sevenSegmentCharacterOf(TSevenSegmentCharacter code);
/// True for the cells that are only 2z wide: period, colon, semicolon, comma.
bool isNarrowSevenSegmentCode(TSevenSegmentCharacter code);

class TiSevenSegmentCharacter : public TiCustomComponent {
    Q_OBJECT
public:
    explicit TiSevenSegmentCharacter(QWidget* parent = nullptr);

    TSevenSegmentCharacter Value() const { return m_value; }
    void SetValue(TSevenSegmentCharacter value);
    QChar Character() const { return sevenSegmentCharacterOf(m_value); }
    void SetCharacter(QChar character) { SetValue(sevenSegmentCodeOf(character)); }

    TColor SegmentColor() const { return m_segmentColor; }
    void SetSegmentColor(TColor value);
    TColor SegmentOffColor() const { return m_segmentOffColor; }
    void SetSegmentOffColor(TColor value);
    bool AutoSegmentOffColor() const { return m_autoSegmentOffColor; }
    void SetAutoSegmentOffColor(bool value);
    bool ShowOffSegments() const { return m_showOffSegments; }
    void SetShowOffSegments(bool value);
    bool PowerOff() const { return m_powerOff; }
    void SetPowerOff(bool value);
    /// Segment thickness unit z (a segment is 2z thick); values ≤ 0 become 1.
    int SegmentSize() const { return m_segmentSize; }
    void SetSegmentSize(int value);
    /// Gap between neighbouring segments; values < 0 become 0.
    int SegmentSeperation() const { return m_segmentSeperation; }
    void SetSegmentSeperation(int value);
    /// Margin between the cell edge and the segments; values < 0 become 0.
    int SegmentMargin() const { return m_segmentMargin; }
    void SetSegmentMargin(int value);
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);

    bool UseSegmentBits() const { return m_useSegmentBits; }
    void SetUseSegmentBits(bool value);
    /// Segment switches A to G as bits 0 to 6.
    std::uint8_t SegmentBits() const { return m_segmentBits; }
    void SetSegmentBits(std::uint8_t value);
    bool SegAOn() const { return segmentOn(0); }
    bool SegBOn() const { return segmentOn(1); }
    bool SegCOn() const { return segmentOn(2); }
    bool SegDOn() const { return segmentOn(3); }
    bool SegEOn() const { return segmentOn(4); }
    bool SegFOn() const { return segmentOn(5); }
    bool SegGOn() const { return segmentOn(6); }
    void SetSegAOn(bool on) { setSegment(0, on); }
    void SetSegBOn(bool on) { setSegment(1, on); }
    void SetSegCOn(bool on) { setSegment(2, on); }
    void SetSegDOn(bool on) { setSegment(3, on); }
    void SetSegEOn(bool on) { setSegment(4, on); }
    void SetSegFOn(bool on) { setSegment(5, on); }
    void SetSegGOn(bool on) { setSegment(6, on); }

    /// Draws `code` into the cell at (x, y) of `width` × `height` with this
    /// character's settings; the cell background is left as it is.
    void DrawCharacter(QPainter& canvas, int x, int y, int width, int height,
                       TSevenSegmentCharacter code) const;

protected:
    void PaintContent(QPainter& canvas) override;
    void Loaded() override;

private:
    void applyAutoSize();
    bool segmentOn(int index) const { return (m_segmentBits >> index) & 1; }
    void setSegment(int index, bool on);
    TColor unlitColor() const;

    TSevenSegmentCharacter m_value = ssc0;
    TColor m_segmentColor = clLime;
    TColor m_segmentOffColor = 0x008000;
    bool m_autoSegmentOffColor = true;
    bool m_showOffSegments = true;
    bool m_powerOff = false;
    int m_segmentSize = 1;
    int m_segmentSeperation = 1;
    int m_segmentMargin = 2;
    bool m_autoSize = true;
    bool m_useSegmentBits = false;
    std::uint8_t m_segmentBits = 0;
};

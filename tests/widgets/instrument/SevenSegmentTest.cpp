#include "tests/widgets/instrument/InstrumentTestSupport.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <string>

using namespace instrument_test;

namespace {

// Reads one cell back: the lit segments as a character, '^'/'v' for the
// arrows, ' ' for a cell of unlit segments only and '_' for an empty cell.
// Every segment must be either lit or exactly the unlit shade.
struct CellReader {
    const QImage& image;
    TColor lit;
    TColor unlit;
    TColor background;
    int width = 20;
    int height = 36;
    int margin = 0;
    int separation = 1;
    int size = 2;

    char read(int x, int y) const {
        const int hm = (height - 1) / 2;
        const int upperY = y + (margin + separation + 2 * size + hm - separation) / 2;
        const int lowerY = y + (hm + separation + 2 * size + height - 1 - margin - separation) / 2;
        const int leftX = x + margin + size;
        const int rightX = x + width - margin - size - 1;
        const int middleX = x + width / 2;
        const QPoint samples[7] = {{middleX, y + margin + size},
                                   {rightX, upperY},
                                   {rightX, lowerY},
                                   {middleX, y + height - margin - size - 1},
                                   {leftX, lowerY},
                                   {leftX, upperY},
                                   {middleX, y + hm}};
        const int arrowX = x + (width - 1) / 2;
        if (pixel(image, arrowX, y + height / 2 - 4) == lit &&
            pixel(image, leftX, upperY) == background) {
            return '^';
        }
        if (pixel(image, arrowX, y + height / 2 + 4) == lit &&
            pixel(image, leftX, lowerY) == background) {
            return 'v';
        }
        int mask = 0;
        int empty = 0;
        for (int index = 0; index < 7; ++index) {
            const TColor color = pixel(image, samples[index].x(), samples[index].y());
            if (color == lit) {
                mask |= 1 << index;
            } else if (color == background) {
                ++empty;
            } else if (color != unlit) {
                return '?';
            }
        }
        if (empty == 7) {
            return '_';
        }
        static const std::map<int, char> digits = {
            {0x3F, '0'}, {0x06, '1'}, {0x5B, '2'}, {0x4F, '3'}, {0x66, '4'}, {0x6D, '5'},
            {0x7D, '6'}, {0x07, '7'}, {0x7F, '8'}, {0x67, '9'}, {0x00, ' '}};
        const auto found = digits.find(mask);
        return found == digits.end() ? '?' : found->second;
    }
};

// The read-outs of the main window: red or lime, segment size 2, no sign
// cell, leading zeros.
void configureAsMainWindowReadout(TiSevenSegmentAnalog& readout, TColor color) {
    readout.SetSegmentColor(color);
    readout.SetSegmentSize(2);
    readout.SetShowSign(false);
    readout.SetLeadingStyle(ilsZeros);
}

constexpr int kCellX[4] = {5, 31, 57, 83};

std::string readCells(const QImage& image, TColor lit) {
    const CellReader reader{image, lit, DimColor(lit, 3), clBlack};
    std::string cells;
    for (const int x : kCellX) {
        cells += reader.read(x, 5);
    }
    return cells;
}

// The ink in the gap left of cell `cell` (the columns between two cells).
QRect gapInk(const QImage& image, int cell) {
    return inkBox(image, clBlack, QRect(kCellX[cell] - 6, 0, 6, image.height()));
}

} // namespace

TEST(SevenSegmentAnalog, MainWindowReadoutLayoutDigitsAndDecimalPoint) {
    TiSevenSegmentAnalog readout;
    configureAsMainWindowReadout(readout, clRed);
    EXPECT_EQ(readout.Width(), 108);
    EXPECT_EQ(readout.Height(), 46);

    readout.SetPrecision(1);
    readout.SetValue(12.3);
    const QImage image = render(readout);
    EXPECT_EQ(readCells(image, clRed), "0123");
    // Each cell covers exactly 20 × 36 pixels.
    for (const int x : kCellX) {
        EXPECT_EQ(inkBox(image, clBlack, QRect(x, 0, 20, 46)), QRect(x, 5, 20, 36))
            << "cell at x = " << x;
        EXPECT_TRUE(inkBox(image, clBlack, QRect(x - 1, 0, 1, 37)).isEmpty());
        EXPECT_TRUE(inkBox(image, clBlack, QRect(x + 20, 0, 1, 37)).isEmpty());
    }
    // The point: a cell 4 wide with its origin at x = 78, in the last gap.
    EXPECT_EQ(gapInk(image, 3), QRect(78, 37, 5, 5));
    EXPECT_EQ(countColor(image, clRed, QRect(78, 37, 5, 5)), 25);
    EXPECT_TRUE(gapInk(image, 1).isEmpty());
    EXPECT_TRUE(gapInk(image, 2).isEmpty());
    // Unlit segments of a red read-out: 0x000055 (the bottom segment of the 1).
    EXPECT_EQ(pixel(image, 31 + 10, 5 + 33), 0x000055u);
    EXPECT_EQ(pixel(image, 0, 0), clBlack);

    TiSevenSegmentAnalog lime;
    configureAsMainWindowReadout(lime, clLime);
    lime.SetPrecision(1);
    lime.SetValue(12.3);
    const QImage limeImage = render(lime);
    EXPECT_EQ(readCells(limeImage, clLime), "0123");
    EXPECT_EQ(pixel(limeImage, 31 + 10, 5 + 33), 0x005500u);
}

TEST(SevenSegmentAnalog, FormattingOverflowAndLeadingStyles) {
    TiSevenSegmentAnalog readout;
    configureAsMainWindowReadout(readout, clRed);
    auto show = [&](int precision, double value) {
        readout.SetPrecision(precision);
        readout.SetValue(value);
        return render(readout);
    };

    QImage image = show(2, 4.56);
    EXPECT_EQ(readCells(image, clRed), "0456");
    EXPECT_EQ(gapInk(image, 2).left(), 57 - 5) << "point between 4 and 5";
    EXPECT_TRUE(gapInk(image, 3).isEmpty());

    EXPECT_EQ(readCells(show(1, 1234.5), clRed), "^^^^") << "1234.5 has 6 characters";
    EXPECT_EQ(readCells(show(1, 123.4), clRed), "1234") << "5 characters still fit";
    EXPECT_EQ(readCells(show(1, -3.2), clRed), "0032") << "no sign cell";
    EXPECT_EQ(readCells(show(1, -1234.5), clRed), "vvvv");

    image = show(0, 7.6);
    EXPECT_EQ(readCells(image, clRed), "0008");
    for (int cell = 1; cell < 4; ++cell) {
        EXPECT_TRUE(gapInk(image, cell).isEmpty()) << "no decimal point at precision 0";
    }
    EXPECT_EQ(readCells(show(0, 12345), clRed), "^^^^");

    readout.SetLeadingStyle(ilsNone);
    image = show(1, 5.5);
    EXPECT_EQ(readCells(image, clRed), "55__") << "last two cells background only";
    EXPECT_FALSE(gapInk(image, 1).isEmpty());

    readout.SetLeadingStyle(ilsSpaces);
    EXPECT_EQ(readCells(show(1, 5.5), clRed), "  55") << "spaces are cells of unlit segments";

    // A comma as the locale's decimal separator draws the comma shape.
    QLocale::setDefault(QLocale(QLocale::German));
    readout.SetLeadingStyle(ilsZeros);
    readout.SetValue(0);
    image = show(1, 12.3);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(readCells(image, clRed), "0123");
    const QRect comma = gapInk(image, 3);
    ASSERT_FALSE(comma.isEmpty());
    EXPECT_LT(comma.top(), 37) << "the comma's dot sits higher than the period";
}

TEST(SevenSegmentAnalog, OutOfRangeValuesAndSettingsAreClamped) {
    TiSevenSegmentAnalog readout;
    configureAsMainWindowReadout(readout, clRed);
    readout.SetPrecision(1);
    int changes = 0;
    readout.OnValueChange = [&](QObject*) { ++changes; };

    readout.SetValue(2e15);
    EXPECT_EQ(readout.Value(), 1e15);
    EXPECT_EQ(readCells(render(readout), clRed), "^^^^");
    readout.SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(readout.Value(), 1e15);
    EXPECT_EQ(changes, 1) << "NaN becomes the value already stored";
    readout.SetValue(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(readout.Value(), -1e15);
    EXPECT_EQ(readCells(render(readout), clRed), "vvvv");
    readout.SetValue(-1e15);
    EXPECT_EQ(changes, 2);

    const int repaints = readout.RepaintCount();
    readout.SetPrecision(20);
    EXPECT_EQ(readout.Precision(), 13);
    readout.SetPrecision(14);
    EXPECT_EQ(readout.RepaintCount(), repaints + 1) << "14 is 13 again: nothing to do";
    readout.SetPrecision(-4);
    EXPECT_EQ(readout.Precision(), 0);

    readout.SetDigitCount(0);
    EXPECT_EQ(readout.DigitCount(), 1);
    readout.SetDigitCount(99);
    EXPECT_EQ(readout.DigitCount(), 32);
    readout.SetSegmentSize(0);
    EXPECT_EQ(readout.SegmentSize(), 1);
    readout.SetSegmentSize(500);
    EXPECT_EQ(readout.SegmentSize(), 100);
    readout.SetSegmentSeperation(-2);
    EXPECT_EQ(readout.SegmentSeperation(), 0);

    // No size is too small to paint.
    readout.SetAutoSize(false);
    for (const QSize size : {QSize(0, 0), QSize(1, 1), QSize(7, 3), QSize(-4, 10)}) {
        readout.SetBounds(0, 0, size.width(), size.height());
        render(readout);
    }
}

TEST(SevenSegmentAnalog, SignCellAndAutoSizeFollowTheSettings) {
    TiSevenSegmentAnalog readout;
    configureAsMainWindowReadout(readout, clRed);
    readout.SetShowSign(true);
    EXPECT_EQ(readout.Width(), 134) << "one more cell";
    readout.SetPrecision(1);
    readout.SetValue(1.5);
    // Plus bar at rows 8..10 of the sign cell, minus bar at rows 26..28.
    QImage image = render(readout);
    EXPECT_EQ(pixel(image, 5 + 10, 5 + 9), clRed);
    EXPECT_EQ(pixel(image, 5 + 10, 5 + 4), clRed) << "the plus's upright";
    EXPECT_EQ(pixel(image, 5 + 7, 5 + 27), 0x000055u);
    readout.SetValue(-1.5);
    image = render(readout);
    EXPECT_EQ(pixel(image, 5 + 10, 5 + 9), 0x000055u);
    EXPECT_EQ(pixel(image, 5 + 7, 5 + 27), clRed);

    readout.SetShowOffSegments(false);
    image = render(readout);
    EXPECT_EQ(pixel(image, 5 + 10, 5 + 9), clBlack) << "unlit plus left out";

    // While loading, settings only store; the size follows when loading ends.
    TiSevenSegmentAnalog loaded;
    loaded.SetAutoSize(true);
    const QSize before = loaded.size();
    loaded.BeginLoading();
    configureAsMainWindowReadout(loaded, clLime);
    loaded.SetDigitCount(6);
    EXPECT_EQ(loaded.size(), before);
    loaded.EndLoading();
    EXPECT_EQ(loaded.size(), QSize(160, 46));
}

TEST(SevenSegmentCharacter, CodesShapesAndAutoSize) {
    TiSevenSegmentCharacter character;
    EXPECT_EQ(character.size(), QSize(15, 23)) << "2m + 10z + 1 by 2m + 18z + 1";
    character.SetCharacter(QLatin1Char('.'));
    EXPECT_EQ(character.Value(), sscPeriod);
    EXPECT_EQ(character.size(), QSize(7, 23)) << "narrow cell";
    character.SetCharacter(QLatin1Char('B'));
    EXPECT_EQ(character.Character(), QLatin1Char('b'));
    EXPECT_EQ(character.Width(), 15);
    character.SetCharacter(QLatin1Char('?'));
    EXPECT_EQ(character.Value(), sscBlank);
    EXPECT_EQ(character.Character(), QLatin1Char(' '));
    for (const char text : std::string("0123456789abcdef.:+-_<>;,")) {
        EXPECT_EQ(sevenSegmentCharacterOf(sevenSegmentCodeOf(QLatin1Char(text))),
                  QLatin1Char(text));
    }

    // Segment A of a 15-wide cell with m = 2, s = 1: its top row runs from
    // x = 3 to x = 11 inclusive.
    character.SetValue(ssc7);
    QImage image = render(character);
    EXPECT_EQ(pixel(image, 3, 2), clLime);
    EXPECT_EQ(pixel(image, 11, 2), clLime);
    EXPECT_EQ(pixel(image, 2, 2), clBlack);
    EXPECT_EQ(pixel(image, 12, 2), clBlack);
    EXPECT_EQ(pixel(image, 7, 11), 0x005500u) << "G unlit";

    character.SetUseSegmentBits(true);
    character.SetSegmentBits(0x09); // A and D
    EXPECT_TRUE(character.SegDOn());
    character.SetSegGOn(true);
    EXPECT_EQ(character.SegmentBits(), 0x49);
    image = render(character);
    EXPECT_EQ(pixel(image, 7, 11), clLime);
    EXPECT_EQ(pixel(image, 12, 6), 0x005500u) << "B unlit despite the 7";

    character.SetUseSegmentBits(false);
    character.SetPowerOff(true);
    image = render(character);
    EXPECT_EQ(countColor(image, clLime), 0) << "power off: everything in the unlit shade";
    EXPECT_GT(countColor(image, 0x005500), 0);

    character.SetPowerOff(false);
    character.SetAutoSegmentOffColor(false);
    character.SetSegmentOffColor(0x202020);
    EXPECT_EQ(pixel(render(character), 7, 11), 0x202020u);

    character.SetShowOffSegments(false);
    character.SetValue(sscUpArrow);
    image = render(character);
    EXPECT_GT(countColor(image, clLime), 0);
    EXPECT_EQ(countColor(image, clLime) + countColor(image, clBlack), 15 * 23);
    const QRect arrow = inkBox(image, clBlack);
    EXPECT_EQ(arrow.bottom(), 11) << "the base on the middle row";
    EXPECT_EQ(arrow.top(), 6) << "the tip q = 5 rows above";

    character.SetSegmentMargin(-3);
    EXPECT_EQ(character.SegmentMargin(), 0);
    character.SetSegmentSize(-1);
    EXPECT_EQ(character.SegmentSize(), 1);
    for (int code = ssc0; code <= sscComma; ++code) {
        character.SetValue(static_cast<TSevenSegmentCharacter>(code));
        character.SetAutoSize(false);
        character.SetBounds(0, 0, 2, 1);
        render(character); // degenerate cells never crash
        character.SetAutoSize(true);
    }
}

#include "platform/drawing/Color.h"

#include <gtest/gtest.h>

TEST(Color, SystemRolesResolveThroughTheTableWhenDrawn) {
    SystemColors::resetToClassic();
    EXPECT_EQ(ColorToRGB(clBtnFace), rgbColor(212, 208, 200));
    SystemColors::setRole(SystemColorIndex::BtnFace, 0x123456);
    EXPECT_EQ(ColorToRGB(clBtnFace), 0x123456u);
    EXPECT_EQ(toQColor(clBtnFace), QColor(0x56, 0x34, 0x12));
    SystemColors::resetToClassic();
    // Plain values keep their bytes, the high byte of a non-system value is dropped.
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(ColorToRGB(0x02FF8040u), 0xFF8040u);
    // A role past the table resolves to black instead of reading beyond it.
    EXPECT_EQ(ColorToRGB(clSystemColor | 0xEE), clBlack);
    EXPECT_EQ(fromQColor(QColor(1, 2, 3)), rgbColor(1, 2, 3));
}

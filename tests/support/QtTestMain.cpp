// gtest entry point for tests that need a QApplication: the offscreen platform,
// the classic system colours and a fixed 96-dpi font setup, so that pixel
// checks give the same answer on every machine.

#include "platform/drawing/Color.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qputenv("QT_SCALE_FACTOR", "1");
    QApplication app(argc, argv);
    SystemColors::resetToClassic();
    return RUN_ALL_TESTS();
}

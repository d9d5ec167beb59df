// gtest entry point for tests that need a QApplication: the offscreen platform,
// the classic system colours and a fixed 96-dpi font setup, so that pixel
// checks give the same answer on every machine.

#include "platform/drawing/Color.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Qt wants a private runtime folder and complains on every start without
    // one (root on a fresh machine has none): the tests bring their own.
    std::unique_ptr<QTemporaryDir> runtimeFolder;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeFolder = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder->path()));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qputenv("QT_SCALE_FACTOR", "1");
    QApplication app(argc, argv);
    SystemColors::resetToClassic();
    return RUN_ALL_TESTS();
}

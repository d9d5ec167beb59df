// The built kestro-modbus-m on an X display whose desktop is scaled the way
// desktops scale X programs: the resource Xft.dpi, loaded with xrdb. At 192
// dots per inch the window takes twice its size in screen pixels, and the
// controls the tool draws itself are drawn at that resolution, not enlarged;
// at 96 it keeps its size. The picture of the real window, taken with
// ImageMagick's import, is compared with the window's own layout, read from
// a window built here on the offscreen platform.

#include "tests/support/ScreenPixels.h"
#include "tests/ui/main/WindowTestSupport.h"

#include "widgets/instrument/iLabel.h"
#include "widgets/instrument/iSevenSegmentAnalog.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr int ProcessTimeoutMs = 30000;

// A virtual X display of its own, on the first display number that is free.
// It must not reset when its last client leaves: the resources xrdb loads
// would go with the reset, before the tool comes to read them.
class VirtualDisplay {
public:
    VirtualDisplay() {
        m_server.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-noreset", "-screen", "0",
                                                "2000x1800x24", "-nolisten", "tcp"});
        if (!m_server.waitForStarted(ProcessTimeoutMs)) {
            return;
        }
        while (!m_server.canReadLine() && m_server.waitForReadyRead(ProcessTimeoutMs)) {
        }
        const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
        if (!number.isEmpty()) {
            m_name = ':' + number;
        }
    }
    ~VirtualDisplay() {
        m_server.terminate();
        m_server.waitForFinished(ProcessTimeoutMs);
    }
    const QString& name() const { return m_name; }

    // Runs an X client on the display; its exit status, -1 when it did not run.
    int run(const QString& program, const QStringList& arguments,
            const QByteArray& input = {}) const {
        QProcess client;
        client.setProcessEnvironment(environment());
        client.start(program, arguments);
        client.write(input);
        client.closeWriteChannel();
        if (!client.waitForFinished(ProcessTimeoutMs)) {
            client.kill();
            client.waitForFinished();
            return -1;
        }
        m_output = client.readAllStandardOutput();
        return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    }
    const QByteArray& output() const { return m_output; }

    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                                 "QT_ENABLE_HIGHDPI_SCALING", "QT_FONT_DPI", "WAYLAND_DISPLAY"}) {
            environment.remove(QString::fromLatin1(name));
        }
        environment.insert("DISPLAY", m_name);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        return environment;
    }

private:
    QProcess m_server;
    QString m_name;
    mutable QByteArray m_output;
};

bool toolsPresent() {
    for (const char* tool : {"Xvfb", "xrdb", "xdotool", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            return false;
        }
    }
    return true;
}

} // namespace

class DesktopScaleTest : public WindowTest {
protected:
    // The tool's window on a desktop of `dpi` dots per inch, as a picture.
    QImage windowAt(int dpi) {
        VirtualDisplay display;
        EXPECT_FALSE(display.name().isEmpty()) << "Xvfb did not start";
        if (display.name().isEmpty()) {
            return {};
        }
        EXPECT_EQ(display.run("xrdb", {"-merge"},
                              QByteArray("Xft.dpi: ") + QByteArray::number(dpi) + '\n'),
                  0);
        QTemporaryDir config;
        QProcess tool;
        QProcessEnvironment environment = display.environment();
        environment.insert("KESTRO_CONFIG_DIR", config.path());
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(KESTRO_MODBUS_M_PATH), {"--simulate", "--start"});
        // The window, once it shows; then a second of polling fills its table.
        QImage picture;
        if (display.run("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                                    "KESTRO_MODBUS_M_V1.0"}) == 0) {
            const QString window = QString::fromLatin1(display.output()).split('\n').first();
            QTest::qWait(1500);
            const QString file = config.filePath("window.png");
            EXPECT_EQ(display.run("import", {"-window", window, file}), 0);
            picture.load(file);
        } else {
            ADD_FAILURE() << "the window did not show";
        }
        tool.terminate();
        tool.waitForFinished(ProcessTimeoutMs);
        return picture.convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(DesktopScaleTest, TheWindowFollowsTheDesktopsDotsPerInch) {
    if (!toolsPresent()) {
        GTEST_SKIP() << "needs Xvfb, xrdb, xdotool and import (scripts/install-deps.sh)";
    }
    // An unscaled desktop: the window is as many pixels as it is laid out in.
    EXPECT_EQ(windowAt(96).size(), form->size());

    const QImage scaled = windowAt(192);
    ASSERT_EQ(scaled.size(), 2 * form->size());
    form->iSevenSegmentAnalog1->SetValue(12.3);
    struct Control {
        const char* name;
        QWidget* widget;
    };
    for (const Control& control :
         {Control{"button", form->skButton1}, Control{"grid", form->sg1},
          Control{"label", form->ilbl2}, Control{"read-out", form->iSevenSegmentAnalog1},
          Control{"status bar", form->stat1}}) {
        const QRect logical(control.widget->mapTo(form.get(), QPoint(0, 0)),
                            control.widget->size());
        const QImage face = scaled.copy(QRect(2 * logical.topLeft(), 2 * logical.size()));
        // Drawn at the screen's resolution, text and lines cut through the
        // 2 × 2 blocks an enlarged picture is made of.
        const BlockCount blocks = blocksOf(face, face.pixel(face.width() / 2, 2));
        EXPECT_GE(blocks.mixed, 20) << control.name << ": " << blocks.mixed << " of "
                                    << blocks.inked << " inked blocks are mixed";
    }
}

#pragma once
// The main window and the write dialog against the virtual module on a
// pseudo-terminal, with the settings kept in a temporary folder and the
// messages collected instead of shown.

#include "serial/setup/ComComboBox.h"
#include "serial/setup/ComSetupFrm.h"
#include "sim/VirtualModule.h"
#include "ui/main/StatusBar.h"
#include "ui/main/Unit1.h"
#include "ui/main/popwin.h"
#include "widgets/grid/FramedStringGrid.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/skin/SkinButton.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <vector>

/// Runs the event loop until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(1);
    }
    return true;
}

/// Lets the event loop run for a while.
inline void runFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qSleep(1);
    }
}

/// Replaces an integer field's text by what the operator types, without
/// committing it.
inline void typeInto(TiIntegerOutput* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    for (int index = 0; index < 6; ++index) {
        QTest::keyClick(field, Qt::Key_Backspace);
    }
    QTest::keyClicks(field, text);
}

/// Walks a list with the arrow keys to the wanted entry, as an operator would.
inline void chooseInList(TComComboBox* combo, const QString& text) {
    const int target = combo->findText(text);
    for (int guard = 2 * combo->count() + 2; combo->currentIndex() != target && guard > 0;
         --guard) {
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
}

/// Presses the port-settings button and, once the setup dialog shows, runs
/// `inside` on it (which closes it). False when no dialog showed.
inline bool inSetupDialog(TForm1& form, const std::function<void(TComSetupFrm& setup)>& inside) {
    bool shown = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* setup = qobject_cast<TComSetupFrm*>(widget);
            if (shown || setup == nullptr || !setup->isVisible()) {
                continue;
            }
            shown = true;
            inside(*setup);
        }
    });
    watch.start();
    QTest::mouseClick(form.skButton1, Qt::LeftButton);
    watch.stop();
    return shown;
}

struct RegisterWrite {
    int registerIndex = 0;
    int value = 0;
    bool operator==(const RegisterWrite&) const = default;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid());
        qputenv("KESTRO_CONFIG_DIR", m_config.path().toUtf8());
        VirtualModuleOptions options;
        options.noise = 0;
        m_module = std::make_unique<VirtualModule>(options);
        ASSERT_EQ(m_module->Start(), 0);
        m_module->SetTrafficObserver([this](bool received, std::span<const std::uint8_t> bytes) {
            if (received && bytes.size() == 8 && bytes[1] == 0x06) {
                const std::lock_guard lock(m_writesMutex);
                m_writes.push_back({bytes[2] << 8 | bytes[3], bytes[4] << 8 | bytes[5]});
            }
        });
        createWindows();
        form->ComPort.SetPort(m_module->PortPath());
    }

    void TearDown() override {
        dialog.reset();
        form.reset();
        m_module->Stop();
        qunsetenv("KESTRO_CONFIG_DIR");
    }

    void createWindows() {
        form = std::make_unique<TForm1>();
        form->SetMessageSink(
            [this](const QString&, const QString& text) { messages.push_back(text); });
        dialog = std::make_unique<TForm2>(*form);
        form->SetWriteDialog(dialog.get());
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    std::vector<RegisterWrite> writes() {
        const std::lock_guard lock(m_writesMutex);
        return m_writes;
    }

    int countWrites(const RegisterWrite& wanted) {
        const auto all = writes();
        return static_cast<int>(std::count(all.begin(), all.end(), wanted));
    }

    QString cell(int column, int row) const { return form->sg1->Cells(column, row); }
    int txCount() const { return form->stat1->panelText(1).toInt(); }

    void clickStart() { QTest::mouseClick(form->skButton2, Qt::LeftButton); }
    void clickStop() { QTest::mouseClick(form->skButton3, Qt::LeftButton); }

    /// Starts polling and waits for the first values from the module.
    void startPolling() {
        clickStart();
        ASSERT_TRUE(form->ComPort.Connected()) << messages.size();
        ASSERT_TRUE(waitFor([this] { return m_module->Statistics().replies >= 2; }));
        ASSERT_TRUE(waitFor([this] { return !form->mm1->toPlainText().isEmpty(); }));
    }

    /// Double-clicks a table cell; while the dialog is up (if it comes up),
    /// runs `inside`, then closes it with Cancel unless `inside` closed it.
    /// Returns whether the dialog came up.
    bool doubleClickCell(int column, int row, const std::function<void()>& inside = {}) {
        bool shown = false;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (shown || !dialog->isVisible()) {
                return;
            }
            shown = true;
            // Keys and focus changes need the dialog to be the active window,
            // which the platform makes it a little after showing it.
            EXPECT_TRUE(waitFor([this] { return QApplication::activeWindow() == dialog.get(); }));
            if (inside) {
                inside();
            }
            if (dialog->isVisible()) {
                QTest::mouseClick(dialog->btnCancelBtn, Qt::LeftButton);
            }
        });
        watch.start();
        // The first click of a double click picks the cell, the second opens it.
        const QPoint centre = form->sg1->CellRect(column, row).center();
        QTest::mouseClick(form->sg1, Qt::LeftButton, {}, centre);
        QTest::mouseDClick(form->sg1, Qt::LeftButton, {}, centre);
        // A dialog that is shown comes up within the double-click itself.
        runFor(20);
        watch.stop();
        return shown;
    }

    QTemporaryDir m_config;
    std::unique_ptr<VirtualModule> m_module;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> dialog;
    std::vector<QString> messages;

private:
    std::mutex m_writesMutex;
    std::vector<RegisterWrite> m_writes;
};

#pragma once
// A form with an integer field as the windows lay it out, a button elsewhere
// to take the focus, and counters for beeps and change events.

#include "platform/drawing/Beep.h"
#include "widgets/instrument/iIntegerOutput.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace integer_field_test {

/// Runs the event loop until the condition holds or a generous time-out ends.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMilliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMilliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

struct FieldSettings {
    QRect bounds;
    int value;
    int minimum;
    int maximum;
    int maxLength;
    int fontHeight;
};

inline const FieldSettings addressField{{32, 40, 57, 32}, 1, 1, 127, 3, -24};
inline const FieldSettings writeValueField{{63, 16, 82, 32}, 0, 0, 65535, 5, -24};

/// Applies the settings the way a window loads its stored description.
inline void applySettings(TiIntegerOutput& field, const FieldSettings& settings) {
    field.BeginLoading();
    field.SetBounds(settings.bounds.x(), settings.bounds.y(), settings.bounds.width(),
                    settings.bounds.height());
    field.SetFont(TFont(QStringLiteral("宋体"), settings.fontHeight, fsBold));
    field.SetValue(settings.value);
    field.SetValueMin(settings.minimum);
    field.SetValueMax(settings.maximum);
    field.SetMaxLength(settings.maxLength);
    field.EndLoading();
}

class FieldFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // A steady caret, so that a picture never depends on the blink phase.
        QApplication::setCursorFlashTime(0);
        m_previousBeep = Beep::setObserver([this] { ++beeps; });
        form.resize(320, 140);
        other.setText(QStringLiteral("Other"));
        other.setGeometry(200, 40, 80, 30);
        QObject::connect(&other, &QPushButton::clicked, [this] { valueAtClick = field->Value(); });
    }

    void TearDown() override { Beep::setObserver(m_previousBeep); }

    void build(const FieldSettings& settings) {
        field = new TiIntegerOutput(&form);
        applySettings(*field, settings);
        field->OnChange = [this](QObject*) { ++changes; };
        field->OnChangeUser = [this](QObject*) { ++userChanges; };
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    void focusField() {
        field->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitFor([this] { return field->Focused(); }));
    }

    void type(const QString& keys) { QTest::keyClicks(field, keys); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(field, key, modifiers);
    }

    QWidget form;
    QPushButton other{&form};
    TiIntegerOutput* field = nullptr;
    int beeps = 0;
    int changes = 0;
    int userChanges = 0;
    int valueAtClick = -1;

private:
    Beep::Observer m_previousBeep;
};

} // namespace integer_field_test

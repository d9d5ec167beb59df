#include "serial/setup/ComSetupFrm.h"

#include "platform/drawing/Fonts.h"
#include "serial/ComPort.h"
#include "serial/setup/ComComboBox.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <memory>

namespace {

constexpr QSize kClientSize{231, 216};
constexpr int kFontHeight = -11; // 8 points at 96 dpi

struct LabelLayout {
    QLabel* TComSetupFrm::*member;
    const char* text;
    int left;
    int top;
};

struct ComboLayout {
    TComComboBox* TComSetupFrm::*member;
    TComProperty property;
    const char* firstItem;
    QRect bounds;
};

// Positions of the group's children are relative to the group box.
constexpr LabelLayout kLabels[] = {
    {&TComSetupFrm::Label1, QT_TRANSLATE_NOOP("TComSetupFrm", "Port"), 8, 24},
    {&TComSetupFrm::Label2, QT_TRANSLATE_NOOP("TComSetupFrm", "Baud rate"), 8, 48},
    {&TComSetupFrm::Label3, QT_TRANSLATE_NOOP("TComSetupFrm", "Data bits"), 8, 72},
    {&TComSetupFrm::Label4, QT_TRANSLATE_NOOP("TComSetupFrm", "Stop bits"), 8, 96},
    {&TComSetupFrm::Label5, QT_TRANSLATE_NOOP("TComSetupFrm", "Parity"), 8, 120},
    {&TComSetupFrm::Label6, QT_TRANSLATE_NOOP("TComSetupFrm", "Flow control"), 8, 144},
};

const ComboLayout kCombos[] = {
    {&TComSetupFrm::Combo1, cpPort, "COM1", QRect(80, 16, 129, 21)},
    {&TComSetupFrm::Combo2, cpBaudRate, "Custom", QRect(80, 40, 129, 21)},
    {&TComSetupFrm::Combo3, cpDataBits, "5", QRect(80, 64, 129, 21)},
    {&TComSetupFrm::Combo4, cpStopBits, "1", QRect(80, 88, 129, 21)},
    {&TComSetupFrm::Combo5, cpParity, "None", QRect(80, 112, 129, 21)},
    {&TComSetupFrm::Combo6, cpFlowControl, "Hardware", QRect(80, 136, 129, 21)},
};

} // namespace

TComSetupFrm::TComSetupFrm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Setup"));
    setFont(makeFont(QStringLiteral("MS Sans Serif"), kFontHeight));
    setFixedSize(kClientSize);
    createControls();
    setTabOrder();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), kClientSize);
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

void TComSetupFrm::createControls() {
    GroupBox1 = new QGroupBox(tr(" Settings "), this);
    GroupBox1->setGeometry(8, 8, 217, 169);
    for (const LabelLayout& layout : kLabels) {
        auto* label = new QLabel(tr(layout.text), GroupBox1);
        label->move(layout.left, layout.top);
        label->adjustSize();
        this->*layout.member = label;
    }
    // The lists are not translated: their texts are the values themselves.
    for (const ComboLayout& layout : kCombos) {
        auto* combo = new TComComboBox(GroupBox1);
        combo->setGeometry(layout.bounds);
        combo->SetComProperty(layout.property);
        combo->SetText(QString::fromLatin1(layout.firstItem));
        this->*layout.member = combo;
    }
    Button1 = new QPushButton(tr("OK"), this);
    Button1->setGeometry(70, 184, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    Button2 = new QPushButton(tr("Cancel"), this);
    Button2->setGeometry(150, 184, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TComSetupFrm::setTabOrder() {
    // The group box (and the six lists within it) first, then OK, then Cancel.
    QWidget::setTabOrder(Combo1, Combo2);
    QWidget::setTabOrder(Combo2, Combo3);
    QWidget::setTabOrder(Combo3, Combo4);
    QWidget::setTabOrder(Combo4, Combo5);
    QWidget::setTabOrder(Combo5, Combo6);
    QWidget::setTabOrder(Combo6, Button1);
    QWidget::setTabOrder(Button1, Button2);
}

void TCustomComPort::RunSetupDialog() {
    const auto form = std::make_unique<TComSetupFrm>();
    for (TComComboBox* combo : form->Combos())
        combo->SetComPort(this);
    for (TComComboBox* combo : form->Combos())
        combo->ShowCurrent();
    if (form->exec() != QDialog::Accepted)
        return;
    SuspendApply();
    try {
        for (TComComboBox* combo : form->Combos())
            combo->ApplyChoice();
    } catch (...) {
        // Release the hold even when a choice fails (reopening under a new
        // port name can), or no later change would ever reach the device. The
        // first failure is the one the caller hears about.
        try {
            ResumeApply();
        } catch (...) {
        }
        throw;
    }
    ResumeApply();
}

#pragma once
// The write dialog: writes one register of the slave through the main
// window's write mailbox. Besides the plain write it holds a ramp test for
// the output register and the module's calibration and relay commands, laid
// out beyond the visible width. It is created hidden at start-up and lives
// for the whole run; its ramp timer stays enabled and acts whenever a ramp
// direction is chosen.

#include "platform/system/Timer.h"

#include <QDialog>
#include <array>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class TForm1;
class TiIntegerOutput;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    /// The client widths the main window chooses: with the ramp group for the
    /// output register, the value panel alone for every other register.
    static constexpr int RampClientWidth = 522;
    static constexpr int ValueClientWidth = 234;
    static constexpr int DesignClientWidth = 719;
    static constexpr int ClientHeight = 144;

    // Ramp group items.
    static constexpr int RampDown = 0;
    static constexpr int RampOff = 1;
    static constexpr int RampUp = 2;

    explicit TForm2(TForm1& mainWindow);
    ~TForm2() override;

    // Controls, by their design names.
    QFrame* pnl1 = nullptr;
    QLabel* lbl1 = nullptr;
    TiIntegerOutput* intgrtpt1 = nullptr;
    QPushButton* btnOKBtn = nullptr;
    QPushButton* btnCancelBtn = nullptr;
    QFrame* pnl2 = nullptr;
    QGroupBox* rg1 = nullptr;
    std::array<QRadioButton*, 3> rg1Items{};
    QPushButton* btn1 = nullptr;
    TiIntegerOutput* intgrtpt2 = nullptr;
    QPushButton* btn2 = nullptr;
    QPushButton* btn3 = nullptr;
    QPushButton* btn4 = nullptr;
    QPushButton* btn5 = nullptr;
    /// The ramp timer: enabled for the whole run at 1 ms; it ticks while a
    /// ramp direction is chosen.
    Timer tmr1;
    /// The follow-up timer of the span and relay commands: 500 ms when armed.
    Timer tmr2;

    /// The selected item of the ramp group, or -1 when none is.
    int RampItemIndex() const;
    void SetRampItemIndex(int index);

    void SetClientWidth(int width);

    // Handlers.
    void btnOKBtnClick();
    void FormShow();
    void FormClose();
    void tmr1Timer();
    void btn1Click();
    void btn2Click();
    void btn3Click();
    void btn4Click();
    void btn5Click();
    void tmr2Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Design data (in popwin.cpp).
    void createControls();
    void applyDesignValues();
    void designValuePanel();
    void designCommands();
    void designTimers();
    void designTabOrder();
    void updateRampTabStop();
    void updateRampTimer();

    void selectCell(int column, int row);

    TForm1& m_mainWindow;
    QButtonGroup* m_rampButtons = nullptr;
};

#pragma once
// The production test window ("出厂测试"), opened from the main window with
// F6: a serial-number field that takes a barcode scanner's input (the
// characters and Enter start the test), the plan's steps with their state as
// the test goes, a large PASS/FAIL banner, a sound at the end, and the
// station's counts since the window opened. It runs the same function test,
// from the same plan, into the same report folder and station log as the
// runner's --test, on the main window's poll engine.

#include "functest/FunctionTest.h"
#include "functest/TestReport.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class PollCycle;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class VerdictBanner;

/// Where the function test takes its plan and puts its records.
struct TestFiles {
    QString planPath;   ///< empty: the built-in plan
    QString reportDir;  ///< empty: the current folder
    QString stationLog; ///< empty: station-log.csv in the report folder
};

class ProductionTestWindow : public QWidget {
    Q_OBJECT
public:
    /// What the window needs of the main window.
    struct Hooks {
        /// Makes the engine poll for a test; a line not open yet is opened at
        /// the plan's address and rate. False when it cannot be opened.
        std::function<bool(const TestPlan& plan)> startPolling;
        /// The line as it is polled now.
        std::function<LineRecord()> line;
    };

    ProductionTestWindow(PollCycle& engine, TestFiles files, Hooks hooks, QWidget* parent);
    ~ProductionTestWindow() override;

    QLineEdit* SerialField() const { return m_serial; }
    VerdictBanner* Banner() const { return m_banner; }
    QTableWidget* StepTable() const { return m_steps; }
    QLabel* Counts() const { return m_counts; }
    QLabel* Status() const { return m_status; }
    const FunctionTest* Test() const { return m_test.get(); }

    /// Tests the unit with this serial number, as Enter in the field does.
    /// Refused, with a word in the status line, while a test runs or for a
    /// serial number that cannot name a file.
    bool StartTest(const QString& serial);
    /// Aborts a running test (the teardown runs).
    void StopTest();
    /// Aborts a running test and, once its teardown has left the module
    /// safe, calls then. False, calling nothing, when no test runs.
    bool StopTestThen(std::function<void()> then);

    int Tested() const { return m_tested; }
    int Passed() const { return m_passed; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void serialEntered();
    void showSteps(const TestPlan& plan);
    void progress(const TestRecord& record);
    void finished(const TestRecord& record);
    void showCounts();
    void tell(const QString& text, bool problem = false);
    static QString stepCaption(const QString& name);

    PollCycle& m_engine;
    TestFiles m_files;
    Hooks m_hooks;
    QLineEdit* m_serial = nullptr;
    VerdictBanner* m_banner = nullptr;
    QTableWidget* m_steps = nullptr;
    QLabel* m_counts = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_stop = nullptr;
    std::unique_ptr<ReportFolder> m_reports;
    // Kept until the next test begins: its finish handler runs inside it.
    std::unique_ptr<FunctionTest> m_test;
    std::function<void()> m_afterTest;
    int m_tested = 0;
    int m_passed = 0;
};

#pragma once
// The production test's verdict in large type, readable from across the
// bench: PASS on green, FAIL on red, a test under way or aborted on amber,
// and on grey what to do next while no test runs.

#include <QString>
#include <QWidget>

class VerdictBanner : public QWidget {
    Q_OBJECT
public:
    enum class State { Idle, Running, Pass, Fail, Aborted };

    static const QColor PassColour;
    static const QColor FailColour;
    static const QColor BusyColour;
    static const QColor IdleColour;

    explicit VerdictBanner(QWidget* parent = nullptr);

    /// The state and the words shown on it.
    void SetState(State state, const QString& text);
    State Current() const { return m_state; }
    const QString& Text() const { return m_text; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background() const;

    State m_state = State::Idle;
    QString m_text;
};

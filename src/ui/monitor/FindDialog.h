#pragma once
// Finds text in the traffic monitor: the next or the previous occurrence from
// the cursor, going round at either end. It stays open beside the window while
// polling goes on.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TrafficMonitor;

class FindDialog : public QDialog {
    Q_OBJECT
public:
    FindDialog(TrafficMonitor& monitor, QWidget* parent);

    /// Shows the dialog with the text field ready for typing.
    void Open();

    QLineEdit* TextField() const { return m_text; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* PreviousButton() const { return m_previous; }
    /// Empty, or why the last search found nothing.
    QString Note() const;

private:
    void find(bool backward);

    TrafficMonitor& m_monitor;
    QLineEdit* m_text = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_previous = nullptr;
    QLabel* m_note = nullptr;
};

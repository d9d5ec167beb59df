#pragma once
// The main window's listen-only choice. The Start button's popup menu (a
// right click on it, or the menu key while it has the focus) offers to
// listen to the bus instead of polling it: beside the button it stands in
// for, without a control of its own in the window's layout, and out of the
// way of a plain click on Start, which still polls. While listening, the
// table, read-outs, lamp, monitor, counters, statistics and trend follow
// what the bus master reads from the slave at the address field; nothing is
// sent, Stop ends it, and the write dialog says that it cannot write.

#include <QCoreApplication>
#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QWidget;
class TForm1;
class TForm2;

class ListenChoice : public QObject {
    Q_OBJECT
public:
    explicit ListenChoice(TForm1& window);

    /// Starts listening to the line at the address field; refused while polling.
    void StartListening();
    /// Ends listening and closes the line.
    void StopListening();
    bool Listening() const;

    /// The Start button's context menu (its popup menu).
    QMenu* Menu() const { return m_menu; }

    /// What the write dialog shows while listening.
    static QString WriteNotice();
    /// The write dialog's notice (none until listening first started).
    QLabel* Notice() const { return m_notice; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateMenu();
    void attachWriteDialog();
    void showWriteDialogState();

    TForm1& m_window;
    QMenu* m_menu = nullptr;
    QAction* m_listen = nullptr;
    QAction* m_stop = nullptr;
    TForm2* m_dialog = nullptr;
    QLabel* m_notice = nullptr;
};

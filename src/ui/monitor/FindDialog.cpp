#include "ui/monitor/FindDialog.h"

#include "ui/monitor/TrafficMonitor.h"

#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

FindDialog::FindDialog(TrafficMonitor& monitor, QWidget* parent)
    : QDialog(parent), m_monitor(monitor) {
    setWindowTitle(tr("查找"));
    setModal(false);
    auto* layout = new QGridLayout(this);
    m_text = new QLineEdit(this);
    m_next = new QPushButton(tr("下一个"), this);
    m_previous = new QPushButton(tr("上一个"), this);
    auto* close = new QPushButton(tr("关闭"), this);
    m_note = new QLabel(this);
    layout->addWidget(new QLabel(tr("查找内容："), this), 0, 0);
    layout->addWidget(m_text, 0, 1);
    layout->addWidget(m_next, 0, 2);
    layout->addWidget(m_previous, 1, 2);
    layout->addWidget(close, 2, 2);
    layout->addWidget(m_note, 1, 0, 1, 2);
    // Enter finds the next one, as in every find dialog.
    m_next->setDefault(true);
    connect(m_next, &QPushButton::clicked, this, [this] { find(false); });
    connect(m_previous, &QPushButton::clicked, this, [this] { find(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* forward = new QShortcut(QKeySequence::FindNext, this);
    auto* back = new QShortcut(QKeySequence::FindPrevious, this);
    connect(forward, &QShortcut::activated, this, [this] { find(false); });
    connect(back, &QShortcut::activated, this, [this] { find(true); });
}

void FindDialog::Open() {
    m_note->clear();
    show();
    raise();
    activateWindow();
    m_text->setFocus();
    m_text->selectAll();
}

QString FindDialog::Note() const {
    return m_note->text();
}

void FindDialog::find(bool backward) {
    const QString text = m_text->text();
    if (m_monitor.FindText(text, backward)) {
        m_note->clear();
        return;
    }
    m_note->setText(text.isEmpty() ? QString() : tr("找不到“%1”").arg(text));
}

#include "ui/main/ListenChoice.h"

#include "session/PollSession.h"
#include "ui/main/Unit1.h"
#include "ui/main/popwin.h"
#include "widgets/instrument/iIntegerOutput.h"
#include "widgets/skin/SkinButton.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

// Below the value panel of the write dialog, inside its height.
constexpr QRect NoticeBounds{8, 123, 217, 18};

} // namespace

ListenChoice::ListenChoice(TForm1& window) : QObject(&window), m_window(window) {
    m_menu = new QMenu(&window);
    m_listen = m_menu->addAction(tr("只听总线（不发送）"), this, &ListenChoice::StartListening);
    m_listen->setObjectName(QStringLiteral("listenAction"));
    m_stop = m_menu->addAction(tr("停止监听"), this, &ListenChoice::StopListening);
    m_stop->setObjectName(QStringLiteral("stopListeningAction"));
    connect(m_menu, &QMenu::aboutToShow, this, &ListenChoice::updateMenu);
    updateMenu();
    m_window.skButton2->SetPopupMenu(m_menu);
}

bool ListenChoice::Listening() const {
    return m_window.Session().Listen().Listening();
}

QString ListenChoice::WriteNotice() {
    return tr("正在监听总线，不能写寄存器");
}

void ListenChoice::updateMenu() {
    m_listen->setEnabled(!Listening());
    m_stop->setEnabled(Listening());
}

void ListenChoice::StartListening() {
    if (Listening()) {
        return;
    }
    PollSession& session = m_window.Session();
    PollView& view = m_window;
    if (session.Engine().Polling()) {
        view.ShowLineNote(tr("正在轮询：先按“停止”，再选择只听总线"));
        return;
    }
    attachWriteDialog();
    ListenEngine& listen = session.Listen();
    listen.SetAddress(m_window.intgrtpt1->Value());
    view.ShowLineNote(QString());
    if (!listen.Start()) {
        return;
    }
    // The port panel says so for as long as it lasts, with what the engine
    // said of the adapter's timing, if anything.
    QString note = tr("只听总线，不发送");
    if (listen.CoarseTiming()) {
        note += QStringLiteral("  ") + tr("USB 适配器延迟 %1 ms，应答时间为粗略值；改为 1 ms 的 "
                                          "udev 规则（写入 %2 后重插）：%3")
                                           .arg(listen.AdapterLatency().count())
                                           .arg(QString::fromLatin1(ListenEngine::UdevRuleFile),
                                                QString::fromLatin1(ListenEngine::UdevRule));
    }
    view.ShowLineNote(note);
}

void ListenChoice::StopListening() {
    if (!Listening()) {
        return;
    }
    m_window.Session().Listen().Stop();
    static_cast<PollView&>(m_window).ShowLineNote(QString());
}

void ListenChoice::attachWriteDialog() {
    TForm2* dialog = m_window.WriteDialog();
    if (dialog == nullptr || dialog == m_dialog) {
        return;
    }
    m_dialog = dialog;
    m_notice = new QLabel(WriteNotice(), dialog);
    m_notice->setObjectName(QStringLiteral("listenNotice"));
    m_notice->setGeometry(NoticeBounds);
    m_notice->hide();
    dialog->installEventFilter(this);
}

bool ListenChoice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_dialog && event->type() == QEvent::Show) {
        showWriteDialogState();
    }
    return QObject::eventFilter(watched, event);
}

void ListenChoice::showWriteDialogState() {
    // The dialog queues no write while listening (the window refuses it);
    // it says so, and offers nothing that would write.
    const bool listening = Listening();
    m_notice->setVisible(listening);
    m_dialog->btnOKBtn->setEnabled(!listening);
    for (QPushButton* command :
         {m_dialog->btn1, m_dialog->btn2, m_dialog->btn3, m_dialog->btn4, m_dialog->btn5}) {
        command->setEnabled(!listening);
    }
    m_dialog->rg1->setEnabled(!listening);
}

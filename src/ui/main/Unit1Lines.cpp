// The main window's choice of line: the serial port or a network line,
// offered by the context menu of the port-settings button so that the
// window's described layout and the serial setup dialog stay as they are.

#include "ui/main/Unit1.h"

#include "net/LineSwitch.h"
#include "net/NetworkLine.h"
#include "ui/main/NetworkLineDialog.h"
#include "widgets/skin/SkinButton.h"

#include <QActionGroup>
#include <QMenu>

bool TForm1::ChooseLine(const LineChoice& choice) {
    if (m_lines->Connected() || (choice.network && choice.endpoint.host.isEmpty())) {
        return false;
    }
    m_lineChoice = choice;
    m_lines->UseNetwork(choice.network);
    m_lines->Network().SetSettings(choice.Settings(ComPort.BaudRate()));
    return true;
}

void TForm1::UseTemporaryNetworkLine(const NetEndpoint& endpoint) {
    m_temporaryPort = true;
    // The network line for this run; the stored choice is not overwritten.
    LineChoice network = m_lineChoice;
    network.network = true;
    network.framing = NetworkFraming::RtuOverTcp;
    network.endpoint = endpoint;
    network.native = false;
    ChooseLine(network);
}

QMenu* TForm1::CreateLineMenu() {
    auto* menu = new QMenu(this);
    auto* group = new QActionGroup(menu);
    QAction* serial = menu->addAction(tr("串口"));
    const bool hasHost = !m_lineChoice.endpoint.host.isEmpty();
    QAction* network = menu->addAction(hasHost ? tr("网络连接 %1").arg(m_lines->Network().Port())
                                               : tr("网络连接"));
    for (QAction* action : {serial, network}) {
        action->setCheckable(true);
        group->addAction(action);
    }
    (m_lines->UsesNetwork() ? network : serial)->setChecked(true);
    // The line in use is not changed under the engine.
    const bool open = m_lines->Connected();
    serial->setEnabled(!open);
    network->setEnabled(!open && hasHost);
    connect(serial, &QAction::triggered, this, [this] {
        LineChoice choice = m_lineChoice;
        choice.network = false;
        ChooseLine(choice);
    });
    connect(network, &QAction::triggered, this, [this] {
        LineChoice choice = m_lineChoice;
        choice.network = true;
        ChooseLine(choice);
    });
    menu->addSeparator();
    QAction* settings = menu->addAction(tr("网络连接设置..."));
    settings->setEnabled(!open);
    connect(settings, &QAction::triggered, this, &TForm1::EditNetworkLine);
    return menu;
}

void TForm1::EditNetworkLine() {
    NetworkLineDialog dialog(this);
    dialog.SetChoice(m_lineChoice);
    if (dialog.exec() == QDialog::Accepted) {
        ChooseLine(dialog.Choice());
    }
}

void TForm1::connectLineMenu() {
    skButton1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(skButton1, &QWidget::customContextMenuRequested, this, &TForm1::showLineMenu);
}

void TForm1::showLineMenu(const QPoint& position) {
    QMenu* menu = CreateLineMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(skButton1->mapToGlobal(position));
}

void TForm1::restoreLineChoice() {
    const LineChoiceLoad load = LoadLineChoice(SettingsKey, ComPort.Name());
    // A store the port's own settings could not be read from is told once.
    if (load.error && !m_restoreFailure) {
        m_restoreFailure = *load.error;
    }
    ChooseLine(load.choice);
}

void TForm1::storeLineChoice() {
    if (const auto error = SaveLineChoice(m_lineChoice, SettingsKey, ComPort.Name())) {
        showMessage(*error);
    }
}

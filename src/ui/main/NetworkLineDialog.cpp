#include "ui/main/NetworkLineDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int HighestPort = 65535;
// Framings in the order the list shows them.
constexpr NetworkFraming Framings[] = {NetworkFraming::ModbusTcp, NetworkFraming::RtuOverTcp};

} // namespace

NetworkLineDialog::NetworkLineDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("网络连接"));
    hostField = new QLineEdit(this);
    hostField->setPlaceholderText(tr("主机名或 IP 地址"));
    portField = new QSpinBox(this);
    portField->setRange(1, HighestPort);
    framingField = new QComboBox(this);
    for (const NetworkFraming framing : Framings) {
        framingField->addItem(FramingName(framing));
    }
    nativeField = new QCheckBox(tr("Modbus TCP 设备本身（无串口网关）"), this);
    auto* note = new QLabel(
        tr("经网关或串口服务器时，回复后的间隔按串口设置中的波特率（网关后串口的速率）。"), this);
    note->setWordWrap(true);
    problem = new QLabel(this);
    problem->setStyleSheet(QStringLiteral("color: red"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));

    auto* form = new QFormLayout;
    form->addRow(tr("主机"), hostField);
    form->addRow(tr("端口"), portField);
    form->addRow(tr("帧格式"), framingField);
    form->addRow(QString(), nativeField);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(problem);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(hostField, &QLineEdit::textChanged, this, &NetworkLineDialog::judge);
    connect(framingField, &QComboBox::currentIndexChanged, this, &NetworkLineDialog::judge);
    SetChoice(LineChoice{});
}

void NetworkLineDialog::SetChoice(const LineChoice& choice) {
    hostField->setText(choice.endpoint.host);
    portField->setValue(choice.endpoint.port);
    framingField->setCurrentIndex(choice.framing == NetworkFraming::RtuOverTcp ? 1 : 0);
    nativeField->setChecked(choice.native);
    judge();
}

LineChoice NetworkLineDialog::Choice() const {
    LineChoice choice;
    choice.network = true;
    choice.framing = Framings[std::max(framingField->currentIndex(), 0)];
    choice.endpoint =
        NetEndpoint{hostField->text().trimmed(), static_cast<std::uint16_t>(portField->value())};
    // RTU over TCP always has a serial line behind it.
    choice.native = choice.framing == NetworkFraming::ModbusTcp && nativeField->isChecked();
    return choice;
}

void NetworkLineDialog::judge() {
    // The host as typed must read as one host, with no port of its own.
    const QString host = hostField->text().trimmed();
    const EndpointParse parsed = ParseEndpoint(host);
    const bool sound =
        !host.isEmpty() && parsed.endpoint && parsed.endpoint->host == host && !host.contains(u' ');
    problem->setText(sound ? QString() : tr("请填写主机名或 IP 地址（端口另填）。"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(sound);
    nativeField->setEnabled(Framings[std::max(framingField->currentIndex(), 0)] ==
                            NetworkFraming::ModbusTcp);
}

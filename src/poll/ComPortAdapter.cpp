#include "poll/ComPortAdapter.h"

#include "serial/ComAdapter.h"
#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "platform/system/SystemError.h"

QString PortErrorText(const EComPort& error) {
    if (const std::string advice = ComErrorAdvice(error); !advice.empty()) {
        return QString::fromStdString(advice);
    }
    if (error.SystemCode() == EComPort::NoSystemCode) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("%1 (%2)").arg(
        QString::fromUtf8(error.what()),
        QString::fromStdString(SystemErrorText(error.SystemCode())));
}

PortError PortErrorOf(const EComPort& error) {
    return PortError{ComLineLost(error) ? PortError::Kind::LineLost : PortError::Kind::Refused,
                     PortErrorText(error)};
}

ComPortAdapter::ComPortAdapter(TCustomComPort& port) : m_port(port) {}

ComPortAdapter::~ComPortAdapter() {
    m_port.OnRxChar = nullptr;
}

bool ComPortAdapter::Connected() const {
    return m_port.Connected();
}

PortResult ComPortAdapter::Open() {
    if (m_port.Connected()) {
        return std::nullopt;
    }
    const SerialAdapterIdentity remembered = m_port.AdapterIdentity();
    const TAdapterCheck check = CheckAdapter(m_port.Port(), remembered);
    if (check.Outcome == TAdapterCheck::aoRefused) {
        return PortError{PortError::Kind::AdapterChanged, QString::fromStdString(check.Message)};
    }
    if (check.Outcome == TAdapterCheck::aoMoved) {
        m_port.SetPort(check.Port);
        m_port.SetAdapterIdentity(remembered);
    }
    try {
        m_port.SetConnected(true);
    } catch (const EComPort& error) {
        return OpenFailure(error);
    }
    m_reopenable = PortCanBeReopened(m_port.Port());
    // The adapter now behind the name is the one to find again (none for a
    // port that is not a USB adapter, or one given by any other path).
    m_port.SetAdapterIdentity(AdapterOfPort(m_port.Port()));
    if (check.Outcome == TAdapterCheck::aoMoved && m_onLineChange) {
        m_onLineChange({LineChange::Kind::Moved, QString::fromStdString(check.Message)});
    }
    return std::nullopt;
}

PortError ComPortAdapter::OpenFailure(const EComPort& error) const {
    // The component's own message, with the system's code in it.
    return PortError{PortError::Kind::Refused, QString::fromUtf8(error.what())};
}

PortResult ComPortAdapter::Close() {
    try {
        m_port.SetConnected(false);
    } catch (const EComPort& error) {
        return PortError{PortError::Kind::Refused, QString::fromUtf8(error.what())};
    }
    return std::nullopt;
}

QString ComPortAdapter::Port() const {
    return QString::fromStdString(m_port.Port());
}

TBaudRate ComPortAdapter::BaudRate() const {
    return m_port.BaudRate();
}

PortResult ComPortAdapter::Write(const std::uint8_t* bytes, int count) {
    try {
        m_port.WriteData(bytes, count);
    } catch (const EComPort& error) {
        return PortErrorOf(error);
    }
    return std::nullopt;
}

PortRead ComPortAdapter::Read(std::uint8_t* buffer, int count) {
    try {
        return PortRead{m_port.ReadData(buffer, count), std::nullopt};
    } catch (const EComPort& error) {
        return PortRead{0, PortErrorOf(error)};
    }
}

int ComPortAdapter::PendingInput() const {
    try {
        return m_port.PendingInputCount();
    } catch (const EComPort&) {
        // A line that cannot say has nothing to take; its next read says why.
        return 0;
    }
}

PortResult ComPortAdapter::SetLineRate(TBaudRate rate) {
    try {
        m_port.SetBaudRate(rate);
    } catch (const EComPort& error) {
        return PortErrorOf(error);
    }
    return std::nullopt;
}

void ComPortAdapter::ExpectReply(int count) {
    m_port.ExpectInput(count);
}

void ComPortAdapter::SetOnRxChar(std::function<void(int count)> handler) {
    if (!handler) {
        m_port.OnRxChar = nullptr;
        return;
    }
    m_port.OnRxChar = [handler = std::move(handler)](TCustomComPort*, int count) {
        handler(count);
    };
}

void ComPortAdapter::SetOnLineChange(std::function<void(const LineChange& change)> handler) {
    m_onLineChange = std::move(handler);
}

std::chrono::steady_clock::time_point ComPortAdapter::LastRxTime() const {
    return m_port.LastRxTime();
}

std::vector<RxPiece> ComPortAdapter::LastRxPieces() const {
    std::vector<RxPiece> pieces;
    for (const TCustomComPort::TRxArrival& arrival : m_port.LastRxArrivals()) {
        pieces.push_back({arrival.End, arrival.Time});
    }
    return pieces;
}

PortResult ComPortAdapter::SetListenOnly(bool listenOnly) {
    try {
        m_port.SetListenOnly(listenOnly);
    } catch (const EComPort& error) {
        return PortErrorOf(error);
    }
    return std::nullopt;
}

std::optional<std::chrono::milliseconds> ComPortAdapter::ReceiveLatency() const {
    if (const std::optional<int> timer = AdapterLatencyTimer(m_port.Port())) {
        return std::chrono::milliseconds{*timer};
    }
    return std::nullopt;
}

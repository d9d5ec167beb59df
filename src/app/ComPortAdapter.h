#pragma once

#include "app/PollPort.h"

class TCustomComPort;

// Hands the poll cycle the real serial port component.
class ComPortAdapter : public PollPort {
public:
    explicit ComPortAdapter(TCustomComPort& port);
    ~ComPortAdapter() override;

    bool Connected() const override;
    void SetConnected(bool connected) override;
    QString Port() const override;
    TBaudRate BaudRate() const override;
    void WriteData(const void* buffer, int count) override;
    int ReadData(void* buffer, int count) override;
    void SetOnRxChar(std::function<void(int count)> handler) override;

private:
    TCustomComPort& m_port;
};

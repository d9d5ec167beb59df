#pragma once
// Modbus TCP: every request gets the next transaction id in its MBAP header
// (the slave address as unit id, the CRC left out); a reply is cut from the
// stream by the header's length field and taken only when it carries the id
// of the request on the line. A reply with the id of an earlier request is
// dropped as late; one with an id never sent, or a second reply, is
// unexpected. A header that no Modbus frame can have ends the connection.

#include "modbus/MbapFrame.h"
#include "net/LineFraming.h"

#include <QCoreApplication>
#include <array>

class ModbusTcpFraming : public LineFraming {
    Q_DECLARE_TR_FUNCTIONS(ModbusTcpFraming)

public:
    void Reset() override;
    std::vector<std::uint8_t> WireRequest(const std::uint8_t* frame,
                                          std::size_t count) const override;
    std::vector<std::uint8_t> Encode(const std::uint8_t* frame, std::size_t count) override;
    std::optional<QString> Take(const std::uint8_t* bytes, std::size_t count,
                                FramingSink& sink) override;
    std::vector<std::uint8_t> WireReply(const std::uint8_t* frame,
                                        std::size_t count) const override;
    bool DropsLeftovers() const override { return false; }

private:
    void frameComplete(FramingSink& sink);
    bool sentEarlier(std::uint16_t transaction) const;

    std::uint16_t m_next = 1;
    std::uint16_t m_current = 0;
    bool m_waiting = false;     // the request m_current has had no reply yet
    std::uint32_t m_issued = 0; // requests sent on this connection
    std::array<std::uint8_t, MaxMbapFrameSize> m_frame{};
    std::size_t m_held = 0;
    std::vector<std::uint8_t> m_lastWire;
    std::vector<std::uint8_t> m_lastReply;
};

#pragma once
// RTU over TCP: the RTU frames go over the connection as they are, CRC and
// all, as a serial device server passes them to and from its line. The
// engine assembles the reply by the RTU length rules, as on a serial line;
// this framing only bounds what one request may bring back (no reply is
// longer than an RTU frame) and, as nothing in the bytes says which request
// they answer, has what is left over dropped before each request.

#include "net/LineFraming.h"

#include <QCoreApplication>

class RtuOverTcpFraming : public LineFraming {
    Q_DECLARE_TR_FUNCTIONS(RtuOverTcpFraming)

public:
    void Reset() override { m_sinceRequest = 0; }
    std::vector<std::uint8_t> WireRequest(const std::uint8_t*, std::size_t) const override {
        return {};
    }
    std::vector<std::uint8_t> Encode(const std::uint8_t* frame, std::size_t count) override;
    std::optional<QString> Take(const std::uint8_t* bytes, std::size_t count,
                                FramingSink& sink) override;
    std::vector<std::uint8_t> WireReply(const std::uint8_t*, std::size_t) const override {
        return {};
    }
    bool DropsLeftovers() const override { return true; }

private:
    std::size_t m_sinceRequest = 0;
};

#include "net/RtuOverTcpFraming.h"

#include "modbus/MbapFrame.h"

std::vector<std::uint8_t> RtuOverTcpFraming::Encode(const std::uint8_t* frame, std::size_t count) {
    m_sinceRequest = 0;
    return {frame, frame + count};
}

std::optional<QString> RtuOverTcpFraming::Take(const std::uint8_t* bytes, std::size_t count,
                                               FramingSink& sink) {
    m_sinceRequest += count;
    if (m_sinceRequest > MaxRtuFrameSize) {
        return tr("The peer sent more than %1 bytes for one request, more than any Modbus RTU "
                  "frame holds.")
            .arg(MaxRtuFrameSize);
    }
    sink.ReplyBytes(bytes, count);
    return std::nullopt;
}

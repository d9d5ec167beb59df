#include "sim/ReplyTransmitter.h"

#include "platform/serial/FdIo.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

// A real line shifts its bits out whether anyone listens or not; when the
// client leaves the port unread, its queue fills and the rest of the reply is
// lost after this long instead of stalling the module.
constexpr std::chrono::milliseconds StallLimit{200};

bool writeBytes(const ReplyWriter& write, int stopFd, std::span<const std::uint8_t> bytes) {
    return write(bytes) && !FdIo::SleepUnlessStopped(stopFd, std::chrono::microseconds::zero());
}

// Each byte is handed over when its last bit would have arrived, so the reader
// sees the reply grow at the line's pace. Bytes whose time has already come go
// out together, which keeps a late wake-up from stretching the reply.
bool writePaced(const ReplyWriter& write, int stopFd, std::span<const std::uint8_t> bytes,
                std::chrono::nanoseconds characterTime) {
    const Clock::time_point start = Clock::now();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const auto elapsed = Clock::now() - start;
        const auto due =
            std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(elapsed / characterTime));
        if (due > sent) {
            if (!writeBytes(write, stopFd, bytes.subspan(sent, due - sent))) {
                return false;
            }
            sent = due;
            continue;
        }
        const auto nextDue = start + characterTime * static_cast<std::int64_t>(sent + 1);
        const auto wait =
            std::chrono::duration_cast<std::chrono::microseconds>(nextDue - Clock::now());
        if (FdIo::SleepUnlessStopped(stopFd, std::max(wait, std::chrono::microseconds{1}))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::chrono::nanoseconds CharacterTime(unsigned baudRate, unsigned bitsPerCharacter) {
    if (baudRate == 0) {
        return std::chrono::nanoseconds::zero();
    }
    constexpr std::int64_t NanosecondsPerSecond = 1'000'000'000;
    return std::chrono::nanoseconds{NanosecondsPerSecond * bitsPerCharacter / baudRate};
}

bool TransmitReply(int fd, int stopFd, std::span<const std::uint8_t> reply,
                   const TransmitPlan& plan) {
    // A real line shifts its bits out whether anyone listens or not: a reply
    // the client leaves unread is not a failure of the line.
    const ReplyWriter write = [fd, stopFd](std::span<const std::uint8_t> bytes) {
        FdIo::WriteAll(fd, bytes, stopFd, StallLimit);
        return true;
    };
    return TransmitReply(write, stopFd, reply, plan);
}

bool TransmitReply(const ReplyWriter& write, int stopFd, std::span<const std::uint8_t> reply,
                   const TransmitPlan& plan) {
    const std::size_t chunkSize = plan.chunkSize == 0 ? reply.size() : plan.chunkSize;
    for (std::size_t offset = 0; offset < reply.size(); offset += chunkSize) {
        if (offset > 0 && FdIo::SleepUnlessStopped(stopFd, plan.chunkGap)) {
            return false;
        }
        const auto chunk = reply.subspan(offset, std::min(chunkSize, reply.size() - offset));
        const bool finished = plan.characterTime > std::chrono::nanoseconds::zero()
                                  ? writePaced(write, stopFd, chunk, plan.characterTime)
                                  : writeBytes(write, stopFd, chunk);
        if (!finished) {
            return false;
        }
    }
    return true;
}

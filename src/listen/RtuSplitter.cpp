#include "listen/RtuSplitter.h"

#include "modbus/CRC16.h"
#include "modbus/RtuFrame.h"

#include <algorithm>

namespace {

using namespace std::chrono_literals;

// Above this rate Modbus fixes the silence instead of counting characters.
constexpr int FastestCountedRate = 19200;
constexpr std::chrono::nanoseconds FastLineSilence = 1750us;
// Per byte held, the roles in which it is known to begin no frame.
constexpr std::uint8_t RequestFailed = 1;
constexpr std::uint8_t ReplyFailed = 2;
constexpr std::uint8_t BothFailed = RequestFailed | ReplyFailed;

std::uint8_t failedBit(FrameRole role) {
    return role == FrameRole::Request ? RequestFailed : ReplyFailed;
}

BusFrame::Kind kindOf(FrameRole role) {
    return role == FrameRole::Request ? BusFrame::Kind::Request : BusFrame::Kind::Reply;
}

} // namespace

std::chrono::nanoseconds RtuSilence(int baudRate, int bitsPerCharacter) {
    if (baudRate <= 0 || baudRate > FastestCountedRate) {
        return FastLineSilence;
    }
    // 3.5 characters: 7 half characters.
    constexpr std::int64_t HalfCharacters = 7;
    constexpr std::int64_t NanosecondsPerSecond = 1'000'000'000;
    return std::chrono::nanoseconds{HalfCharacters * bitsPerCharacter * NanosecondsPerSecond /
                                    (2 * std::int64_t{baudRate})};
}

void RtuSplitter::Feed(const std::uint8_t* bytes, const Clock::time_point* times, std::size_t count,
                       std::vector<BusFrame>& frames) {
    for (std::size_t i = 0; i < count; ++i) {
        const bool afterSilence = m_heardAny && times[i] - m_lastTime >= m_silence;
        if (m_bytes.empty() && afterSilence) {
            // Whatever was on the line before is over: a frame begins here.
            m_aligned = true;
            m_scanFrom = 0;
        }
        m_bytes.push_back(bytes[i]);
        m_times.push_back(times[i]);
        m_afterSilence.push_back(afterSilence ? 1 : 0);
        m_failed.push_back(0);
        m_lastTime = m_heardAny ? std::max(m_lastTime, times[i]) : times[i];
        m_heardAny = true;
    }
    process(false, frames);
}

void RtuSplitter::Flush(std::vector<BusFrame>& frames) {
    process(true, frames);
    m_aligned = true;
    m_scanFrom = 0;
}

void RtuSplitter::Reset() {
    m_bytes.clear();
    m_times.clear();
    m_afterSilence.clear();
    m_failed.clear();
    m_aligned = false;
    m_scanFrom = 0;
    m_awaited.reset();
    m_heardAny = false;
    m_lastTime = {};
}

void RtuSplitter::process(bool final, std::vector<BusFrame>& frames) {
    while (!m_bytes.empty()) {
        if (m_aligned) {
            const Candidate first = evaluate(0, final);
            if (first.status == Status::Sound) {
                takeFrame(first, frames);
                continue;
            }
            // A frame that holds its CRC after a silence outweighs the rest
            // of one still missing before it: the bytes up to it are then
            // scanned like noise, which finds any sound frame among them too.
            if (first.status == Status::Pending && !soundAfterSilence(final)) {
                return;
            }
            m_aligned = false;
            m_scanFrom = 0;
        }
        const RunEnd end = scanRun(final);
        if (end.kind == RunEnd::Kind::Frame) {
            closeRun(end.at, frames);
            takeFrame(end.frame, frames);
            continue;
        }
        if (end.kind == RunEnd::Kind::Silence) {
            closeRun(end.at, frames);
            m_aligned = true;
            m_scanFrom = 0;
            continue;
        }
        if (final) {
            closeRun(m_bytes.size(), frames);
            continue;
        }
        if (end.pendingFrom < RunLimit) {
            return;
        }
        // A run this long is noise whatever comes next; its first part goes
        // out so that a flood does not pile up.
        giveOut(BusFrame::Kind::Unexpected, false, 0, RunLimit, frames);
        consume(RunLimit);
    }
}

RtuSplitter::Status RtuSplitter::roleStatus(FrameRole role, std::size_t at, bool final,
                                            std::size_t& length) {
    if ((m_failed[at] & failedBit(role)) != 0) {
        return Status::Failed;
    }
    const std::size_t available = m_bytes.size() - at;
    const FrameLength rule = RtuFrameLength(role, m_bytes.data() + at, available);
    Status status = Status::Failed;
    if (rule.outcome == FrameLength::Outcome::NeedMore ||
        (rule.outcome == FrameLength::Outcome::Known && rule.length > available)) {
        status = final ? Status::Failed : Status::Pending;
    } else if (rule.outcome == FrameLength::Outcome::Known && rule.length >= ShortestRtuFrame &&
               Crc16Of(m_bytes.data() + at, rule.length) == 0) {
        // The CRC taken over a frame and its own CRC comes to zero.
        length = rule.length;
        status = Status::Sound;
    }
    if (status == Status::Failed) {
        m_failed[at] |= failedBit(role);
    }
    return status;
}

RtuSplitter::Candidate RtuSplitter::evaluate(std::size_t at, bool final) {
    std::size_t requestLength = 0;
    std::size_t replyLength = 0;
    const Status request = roleStatus(FrameRole::Request, at, final, requestLength);
    const Status reply = roleStatus(FrameRole::Reply, at, final, replyLength);
    // The reply a request waits for is looked for first, anything else as a
    // request: two frames of the same shape (a write and its echo) are told
    // apart by what came before them.
    const bool replyFirst = matchesAwaited(at);
    const Candidate first = replyFirst ? Candidate{reply, FrameRole::Reply, replyLength}
                                       : Candidate{request, FrameRole::Request, requestLength};
    const Candidate second = replyFirst ? Candidate{request, FrameRole::Request, requestLength}
                                        : Candidate{reply, FrameRole::Reply, replyLength};
    if (first.status == Status::Sound) {
        return first;
    }
    // Where a frame most likely begins, the one expected there is waited for
    // while it may still come; anywhere else a frame that holds its CRC now
    // counts before one that might later.
    const bool expected = at == 0 && m_aligned;
    if (second.status == Status::Sound && (first.status == Status::Failed || !expected)) {
        return second;
    }
    if (first.status == Status::Pending || second.status == Status::Pending) {
        return {Status::Pending};
    }
    return {Status::Failed};
}

bool RtuSplitter::soundAfterSilence(bool final) {
    for (std::size_t at = 1; at < m_bytes.size(); ++at) {
        if (m_afterSilence[at] != 0 && evaluate(at, final).status == Status::Sound) {
            return true;
        }
    }
    return false;
}

RtuSplitter::RunEnd RtuSplitter::scanRun(bool final) {
    RunEnd end;
    bool clear = true; // every position so far begins no frame
    const std::size_t held = m_bytes.size();
    for (std::size_t at = m_scanFrom; at < held; ++at) {
        // A silence ends the run only where the run itself holds a CRC: a
        // frame of a function without a length rule. Elsewhere it may be the
        // gap a USB adapter's timer leaves inside a frame.
        if (at >= ShortestRtuFrame && m_afterSilence[at] != 0 && Crc16Of(m_bytes.data(), at) == 0) {
            end.kind = RunEnd::Kind::Silence;
            end.at = at;
            return end;
        }
        if (m_failed[at] != BothFailed) {
            const Candidate candidate = evaluate(at, final);
            if (candidate.status == Status::Sound) {
                end.kind = RunEnd::Kind::Frame;
                end.at = at;
                end.frame = candidate;
                return end;
            }
            if (candidate.status == Status::Pending && clear) {
                clear = false;
                end.pendingFrom = at;
            }
        }
        if (clear) {
            m_scanFrom = at + 1;
        }
    }
    if (clear) {
        end.pendingFrom = held;
    }
    return end;
}

bool RtuSplitter::matchesAwaited(std::size_t at) const {
    if (!m_awaited || at + 1 >= m_bytes.size() || m_bytes[at] != m_awaited->address) {
        return false;
    }
    const std::uint8_t function = m_bytes[at + 1];
    return function == m_awaited->function || function == (m_awaited->function | ExceptionFlag);
}

void RtuSplitter::takeFrame(const Candidate& frame, std::vector<BusFrame>& frames) {
    if (frame.role == FrameRole::Request) {
        // A broadcast (address 0) is answered by no one.
        m_awaited.reset();
        if (m_bytes[0] != 0) {
            m_awaited = Awaited{m_bytes[0], m_bytes[1]};
        }
    } else if (matchesAwaited(0)) {
        m_awaited.reset();
    }
    giveOut(kindOf(frame.role), frame.status == Status::Sound, 0, frame.length, frames);
    consume(frame.length);
    m_aligned = true;
    m_scanFrom = 0;
}

void RtuSplitter::closeRun(std::size_t length, std::vector<BusFrame>& frames) {
    if (length == 0) {
        return;
    }
    const std::uint8_t* bytes = m_bytes.data();
    // Bytes bounded by silences or sound frames that hold a CRC of their own
    // are a frame, even of a function without a length rule.
    if (length >= ShortestRtuFrame && bytes[0] <= HighestSlaveAddress &&
        Crc16Of(bytes, length) == 0) {
        const bool reply = bytes[0] != 0 && ((bytes[1] & ExceptionFlag) != 0 || matchesAwaited(0));
        takeFrame({Status::Sound, reply ? FrameRole::Reply : FrameRole::Request, length}, frames);
        return;
    }
    // A frame broken on the way (its CRC does not hold) still has the exact
    // length its rules give: the reply awaited, or a request.
    // A reply is named only when it is the one awaited: a few bytes of noise
    // easily have the five of an exception's shape.
    for (const FrameRole role : {FrameRole::Reply, FrameRole::Request}) {
        if (length < ShortestRtuFrame || (role == FrameRole::Reply && !matchesAwaited(0))) {
            continue;
        }
        const FrameLength rule = RtuFrameLength(role, bytes, length);
        if (rule.outcome == FrameLength::Outcome::Known && rule.length == length) {
            takeFrame({Status::Failed, role, length}, frames);
            return;
        }
    }
    // A run that grew past its limit while frames were still possible in
    // its tail goes out in pieces of the limit.
    while (length > 0) {
        const std::size_t piece = std::min(length, RunLimit);
        giveOut(BusFrame::Kind::Unexpected, false, 0, piece, frames);
        consume(piece);
        length -= piece;
    }
}

void RtuSplitter::giveOut(BusFrame::Kind kind, bool sound, std::size_t from, std::size_t length,
                          std::vector<BusFrame>& frames) {
    BusFrame frame;
    frame.kind = kind;
    frame.sound = sound;
    frame.bytes.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(from),
                       m_bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
    frame.start = m_times[from];
    frame.end = m_times[from + length - 1];
    frames.push_back(std::move(frame));
}

void RtuSplitter::consume(std::size_t count) {
    const auto erase = [count](auto& held) {
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(count));
    };
    erase(m_bytes);
    erase(m_times);
    erase(m_afterSilence);
    erase(m_failed);
    m_scanFrom = m_scanFrom > count ? m_scanFrom - count : 0;
}

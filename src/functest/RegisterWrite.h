#pragma once
// One write of the function test, followed until a read shows that the module
// took it: the value goes through the engine's write mailbox, as the write
// dialog's ramp does (only into an empty mailbox, so every write is followed
// by a read), and the reads after it are looked at until one confirms it.
// While the register does not hold the value written, the write is sent
// again, three times at most; once it does, the reads go on until the rest
// of what confirms it follows (a command carried out, a contact that follows
// the relay) or the time is up. A confirmation that the register alone cannot
// show (a command register read back as 0, as it was before) counts only
// after the module answered the write itself soundly.

#include "poll/PollListener.h"

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

class PollCycle;

class RegisterWrite {
public:
    using Clock = std::chrono::steady_clock;
    using Confirmation = std::function<bool(const RegisterValues& registers)>;

    enum class State { Idle, Waiting, Confirmed, Failed };

    static constexpr int Attempts = 3;

    explicit RegisterWrite(PollCycle& engine) : m_engine(engine) {}

    /// Writes value to the register; confirmed once a read after the write
    /// satisfies confirmed (by default: the register holds the value).
    void Start(int registerIndex, std::uint16_t value, Clock::duration timeout,
               Confirmation confirmed = {});

    void OnRequestSent(const PollRequest& request);
    void OnTraffic(const TrafficEvent& event);
    void OnReadout(const ReadoutSample& sample);
    /// Checks the time limit.
    void OnTick(Clock::time_point now);

    State Current() const { return m_state; }
    bool Finished() const { return m_state == State::Confirmed || m_state == State::Failed; }
    /// Why it failed.
    const QString& Failure() const { return m_failure; }
    /// The registers of the last read after the write, once one came.
    bool HasRead() const { return m_hasRead; }
    const RegisterValues& LastRead() const { return m_lastRead; }
    /// From the first time the write went out to the read that confirmed it
    /// (or to now, while waiting or after a failure).
    std::chrono::milliseconds Elapsed() const;

private:
    void askMailbox();
    void fail(const QString& why);

    PollCycle& m_engine;
    State m_state = State::Idle;
    int m_register = 0;
    std::uint16_t m_value = 0;
    Confirmation m_confirmed;
    Clock::time_point m_deadline;
    Clock::time_point m_started;
    std::optional<Clock::time_point> m_firstSent;
    std::optional<Clock::time_point> m_endedAt;
    bool m_sent = false; // the write went out; waiting for a read after it
    bool m_readAfterWrite = false;
    bool m_acknowledged = false; // the module answered the write soundly
    bool m_hasRead = false;
    int m_attempts = 0;
    QString m_refusal; // what the module said to the write, if it refused it
    QString m_failure;
    RegisterValues m_lastRead{};
};

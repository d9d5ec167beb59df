#pragma once
// Looks for modules on a line whose address and rate nobody remembers (a
// module fresh from stock, or one someone set up otherwise): at each rate in
// turn it asks every address from 1 to 127 for the 20 registers with the
// tool's own read request, and prints each that answers soundly as
// "found address=N baud=RATE". It waits for an answer only as long as the
// request and the reply take on the wire at that rate, plus a margin.
// Progress goes to the error stream.
//
// On a line that echoes (a two-wire RS-485 adapter) the request's own echo
// is taken out of what comes back, as polling does. A reply that comes
// after its wait, while the next address is asked, still counts for the
// address that sent it, so a slow adapter never hides a module.

#include "modbus/RtuFrame.h"
#include "poll/EchoFilter.h"
#include "serial/ComTypes.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <vector>

class PollPort;

/// How long the scan waits for the answer to one request at a rate: both
/// frames on the wire, the silence before the answer, and a margin for the
/// module to turn round and for a USB adapter's latency.
std::chrono::milliseconds ScanReplyTimeout(int bitsPerSecond);

class ScanRunner {
    Q_DECLARE_TR_FUNCTIONS(ScanRunner)

public:
    static constexpr int FirstAddress = 1;
    static constexpr int LastAddress = 127;
    // A USB adapter holds a short reply for up to its latency timer (16 ms
    // by default on the common FTDI chips) before handing it over; the rest
    // is for the module to turn round.
    static constexpr std::chrono::milliseconds Margin{40};

    /// The line is set up (path, framing) but not open.
    ScanRunner(PollPort& line, std::vector<TBaudRate> rates, std::FILE* out, std::FILE* err);
    ~ScanRunner();
    ScanRunner(const ScanRunner&) = delete;
    ScanRunner& operator=(const ScanRunner&) = delete;

    /// Scans on the calling (main) thread. Returns 0 when a module answered,
    /// 3 when none did, 1 when the port could not be opened or went away.
    int Run();
    /// Ends the scan after the request on the line; safe at any time.
    void Interrupt();

    static constexpr int ExitFound = 0;
    static constexpr int ExitPortFailed = 1;
    static constexpr int ExitNoneFound = 3;

private:
    // What the front of the reply buffer holds, as far as the address asked
    // before is concerned.
    enum class Front { Other, LateReplyBegun, LateReply };

    void startRate();
    void ask();
    void received(int count);
    void readInput(int count);
    void judge();
    Front lateReplyInFront() const;
    void dropFront(std::size_t count);
    void found(int address);
    void waitEnded();
    void nextAddress();
    void finish(int status);
    void printError(const QString& line);

    PollPort& m_port;
    std::vector<TBaudRate> m_rates;
    std::FILE* m_out;
    std::FILE* m_err;
    QEventLoop m_loop;
    QTimer m_timeout;
    std::size_t m_rateIndex = 0;
    int m_address = FirstAddress;
    TTxFrame m_request{};
    // What came back since the request went out; in front of it, perhaps,
    // the late reply of the address asked before.
    TRxFrame m_reply{};
    std::size_t m_replyCount = 0;
    EchoFilter m_echo;
    bool m_echoTold = false;
    bool m_answered = false; // this address has answered; the line settles
    int m_lateAddress = 0;   // asked before this one and silent so far; 0: none
    int m_found = 0;
    int m_status = ExitNoneFound;
    bool m_interrupted = false;
    bool m_done = false;
};

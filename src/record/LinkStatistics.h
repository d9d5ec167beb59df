#pragma once
// What the traffic record tells about the link, kept up to date as the
// entries come: requests, misses, sound replies, how often each verdict
// occurred, and the response times of the sound replies. Start clears it,
// as it clears the counters.

#include "poll/PollListener.h"
#include "record/ResponseTimes.h"

#include <QString>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class LinkStatistics : public PollListener {
public:
    struct VerdictCount {
        QString verdict; ///< as in the record: "ok", "bad-crc", "exception-02", ...
        std::int64_t count = 0;
    };

    void OnTraffic(const TrafficEvent& event) override;
    void OnMissCounted() override { ++m_missed; }
    void OnStarted() override { Clear(); }
    void Clear();

    /// Requests sent (the Tx count) and replies missed (the Er count).
    std::int64_t Requests() const { return m_requests; }
    std::int64_t Missed() const { return m_missed; }
    /// Sound replies.
    std::int64_t Replies() const;
    /// Every verdict that occurred except "sent" (that is the requests less
    /// the refused ones), the most frequent first.
    std::vector<VerdictCount> Verdicts() const;
    /// The response times of the sound replies.
    const ResponseTimes& Responses() const { return m_responses; }
    /// How many of them were coarse: measured through an adapter that holds
    /// received bytes for milliseconds.
    std::int64_t CoarseResponses() const { return m_coarse; }

private:
    // By verdict, then exception code: the order of the verdicts' list.
    std::map<std::pair<TrafficVerdict, std::uint8_t>, std::int64_t> m_verdicts;
    std::int64_t m_requests = 0;
    std::int64_t m_missed = 0;
    ResponseTimes m_responses;
    std::int64_t m_coarse = 0;
};

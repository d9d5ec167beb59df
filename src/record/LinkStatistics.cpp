#include "record/LinkStatistics.h"

#include <algorithm>

void LinkStatistics::OnTraffic(const TrafficEvent& event) {
    if (event.direction == TrafficDirection::Tx) {
        ++m_requests;
    }
    ++m_verdicts[{event.verdict, event.exceptionCode}];
    if (event.verdict == TrafficVerdict::Ok && event.responseTime) {
        m_responses.Add(*event.responseTime);
        if (event.coarseTime) {
            ++m_coarse;
        }
    }
}

void LinkStatistics::Clear() {
    m_verdicts.clear();
    m_requests = 0;
    m_missed = 0;
    m_responses.Clear();
    m_coarse = 0;
}

std::int64_t LinkStatistics::Replies() const {
    const auto found = m_verdicts.find({TrafficVerdict::Ok, 0});
    return found == m_verdicts.end() ? 0 : found->second;
}

std::vector<LinkStatistics::VerdictCount> LinkStatistics::Verdicts() const {
    std::vector<VerdictCount> counts;
    for (const auto& [key, count] : m_verdicts) {
        if (key.first != TrafficVerdict::Sent) {
            counts.push_back(VerdictCount{TrafficVerdictText(key.first, key.second), count});
        }
    }
    // Stable: equal counts keep the verdicts' own order.
    std::stable_sort(counts.begin(), counts.end(),
                     [](const VerdictCount& left, const VerdictCount& right) {
                         return left.count > right.count;
                     });
    return counts;
}

#include "serial/FreeNotifier.h"

#include <algorithm>

FreeNotifier::~FreeNotifier() {
    // A callback may unsubscribe others (or itself), so work from a copy.
    const std::vector<Entry> entries = std::move(m_entries);
    m_entries.clear();
    for (const Entry& entry : entries)
        if (entry.callback)
            entry.callback();
}

void FreeNotifier::subscribe(const void* listener, std::function<void()> callback) {
    for (Entry& entry : m_entries) {
        if (entry.listener == listener) {
            entry.callback = std::move(callback);
            return;
        }
    }
    m_entries.push_back(Entry{listener, std::move(callback)});
}

void FreeNotifier::unsubscribe(const void* listener) {
    std::erase_if(m_entries, [listener](const Entry& entry) { return entry.listener == listener; });
}

bool FreeNotifier::isSubscribed(const void* listener) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [listener](const Entry& entry) { return entry.listener == listener; });
}

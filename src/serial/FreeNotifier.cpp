#include "serial/FreeNotifier.h"

#include <algorithm>

FreeNotifier::~FreeNotifier() {
    // Each listener is taken off the list before it is told, and the list is
    // looked at afresh after every call: a callback may unsubscribe others
    // (or tear them down), and those must not be called any more.
    while (!m_entries.empty()) {
        const Entry entry = std::move(m_entries.front());
        m_entries.erase(m_entries.begin());
        if (entry.callback) {
            entry.callback();
        }
    }
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

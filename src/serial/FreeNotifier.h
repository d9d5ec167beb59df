#pragma once
// Lets other objects hear when a component goes away, so that controls bound
// to a port (the setup dialog's lists) forget it instead of keeping a dangling
// pointer. The component holds one as a member; its destructor tells every
// listener. Listeners must not touch the component from the callback: it is
// already being torn down.

#include <functional>
#include <vector>

class FreeNotifier {
public:
    FreeNotifier() = default;
    ~FreeNotifier();
    FreeNotifier(const FreeNotifier&) = delete;
    FreeNotifier& operator=(const FreeNotifier&) = delete;

    /// Registers (or replaces) the callback of one listener.
    void subscribe(const void* listener, std::function<void()> callback);
    void unsubscribe(const void* listener);
    bool isSubscribed(const void* listener) const;

private:
    struct Entry {
        const void* listener = nullptr;
        std::function<void()> callback;
    };
    std::vector<Entry> m_entries;
};

#pragma once
// Looks a host up without holding up the main thread: the addresses of a
// name come from the system's resolver on a thread of its own, and the
// answer is handed to the main thread; an address typed as one needs no
// lookup. A lookup that has no answer within Limit is given up (the thread
// is left to finish on its own; its late answer goes nowhere).
//
//     HostResolver resolver;
//     resolver.Resolve({"gateway.lan", 502}, [](const Resolution& result) { ... });

#include "platform/net/NetAddress.h"
#include "platform/net/NetEndpoint.h"
#include "platform/net/NetError.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

struct Resolution {
    /// In the order the resolver gave them, the preferred first.
    std::vector<NetAddress> addresses;
    /// Why there are none: the resolver's code and words.
    NetResult error;
};

class HostResolver : public QObject {
    Q_OBJECT
public:
    /// The longest a lookup may take before it is given up.
    static constexpr std::chrono::seconds Limit{15};

    using Handler = std::function<void(const Resolution& result)>;

    explicit HostResolver(QObject* parent = nullptr);
    ~HostResolver() override;
    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    /// Starts a lookup; its answer goes to handler on the main thread, always
    /// after Resolve has returned. A lookup under way is given up first.
    /// An empty host stands for every local address (a server's).
    void Resolve(const NetEndpoint& endpoint, Handler handler);
    /// Gives up the lookup under way: its handler is not called.
    void Cancel();
    bool Busy() const { return m_lookup != nullptr; }

    /// The lookup on the calling thread, waiting as long as the resolver
    /// takes: for a thread or a program with nothing else to do.
    static Resolution ResolveNow(const NetEndpoint& endpoint);

private:
    struct Lookup;

    void finished(const std::shared_ptr<Lookup>& lookup, const Resolution& result);
    void deliver(const Resolution& result);

    std::shared_ptr<Lookup> m_lookup;
    Handler m_handler;
    QTimer m_limit;
};

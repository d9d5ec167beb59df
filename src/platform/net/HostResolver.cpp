#include "platform/net/HostResolver.h"

#include "platform/net/SocketCalls.h"

#include <QMetaObject>
#include <mutex>
#include <thread>

namespace {

Resolution lookUp(const NetEndpoint& endpoint, bool numericOnly, int* code = nullptr) {
    SocketCalls::Lookup lookup = SocketCalls::LookUp(endpoint, numericOnly);
    if (code != nullptr) {
        *code = lookup.code;
    }
    return Resolution{std::move(lookup.addresses), std::move(lookup.error)};
}

} // namespace

// What the lookup's thread and the main thread share: whom to answer, cleared
// when the answer is no longer wanted.
struct HostResolver::Lookup {
    std::mutex mutex;
    HostResolver* owner = nullptr;
};

HostResolver::HostResolver(QObject* parent) : QObject(parent) {
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        Cancel();
        deliver(Resolution{
            {},
            NetError{SocketCalls::TimedOutCode(),
                     tr("the name service gave no answer within %1 s").arg(Limit.count())}});
    });
}

HostResolver::~HostResolver() {
    Cancel();
}

void HostResolver::Resolve(const NetEndpoint& endpoint, Handler handler) {
    Cancel();
    m_handler = std::move(handler);
    auto lookup = std::make_shared<Lookup>();
    lookup->owner = this;
    m_lookup = lookup;
    int code = 0;
    const Resolution numeric = lookUp(endpoint, true, &code);
    if (code != SocketCalls::NoNameCode()) {
        // An address as typed (or a lookup that cannot work at all): answered
        // from the event loop, as a name's lookup is.
        QMetaObject::invokeMethod(
            this, [this, lookup, numeric] { finished(lookup, numeric); }, Qt::QueuedConnection);
        return;
    }
    m_limit.start(Limit);
    std::thread([lookup, endpoint] {
        const Resolution result = lookUp(endpoint, false);
        const std::lock_guard lock(lookup->mutex);
        if (lookup->owner != nullptr) {
            // A queued call to an object destroyed before it runs is dropped,
            // and the owner cannot go while the lock is held.
            HostResolver* owner = lookup->owner;
            QMetaObject::invokeMethod(
                owner, [owner, lookup, result] { owner->finished(lookup, result); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void HostResolver::Cancel() {
    m_limit.stop();
    if (m_lookup) {
        const std::lock_guard lock(m_lookup->mutex);
        m_lookup->owner = nullptr;
    }
    m_lookup.reset();
}

Resolution HostResolver::ResolveNow(const NetEndpoint& endpoint) {
    return lookUp(endpoint, false);
}

void HostResolver::finished(const std::shared_ptr<Lookup>& lookup, const Resolution& result) {
    if (lookup != m_lookup) {
        return; // given up or replaced since
    }
    Cancel();
    deliver(result);
}

void HostResolver::deliver(const Resolution& result) {
    // The handler may start the next lookup, which replaces m_handler.
    const Handler handler = m_handler;
    if (handler) {
        handler(result);
    }
}

#include "platform/net/SocketCalls.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace SocketCalls {
namespace {

constexpr int KeepAliveIdleSeconds = 2;
constexpr int KeepAliveIntervalSeconds = 1;
constexpr int KeepAliveProbes = 4;

void setOption(SocketHandle socket, int level, int name, int value) {
    // An option the system lacks leaves the connection as it was; the
    // connection works without it, if less well.
    static_cast<void>(::setsockopt(static_cast<int>(socket), level, name, &value, sizeof value));
}

} // namespace

SocketHandle OpenStream(int family, NetResult& error) {
    const int socket = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) {
        error = NetErrorOf(errno);
        return NoSocket;
    }
    return socket;
}

void ApplyLinkOptions(SocketHandle socket) {
    // A request is one small segment: without this, Nagle's algorithm holds
    // it back until the acknowledgement of the last one, which the peer
    // delays by up to 40 ms.
    setOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(socket, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(socket, IPPROTO_TCP, TCP_KEEPIDLE, KeepAliveIdleSeconds);
    setOption(socket, IPPROTO_TCP, TCP_KEEPINTVL, KeepAliveIntervalSeconds);
    setOption(socket, IPPROTO_TCP, TCP_KEEPCNT, KeepAliveProbes);
    // Keepalive only probes an idle connection; a poll sends every half
    // second, so a dead peer shows as data nobody acknowledges.
    setOption(socket, IPPROTO_TCP, TCP_USER_TIMEOUT,
              static_cast<int>(std::chrono::milliseconds(DeadPeerLimit).count()));
}

void Close(SocketHandle socket) {
    if (socket != NoSocket) {
        ::close(static_cast<int>(socket));
    }
}

QString AddressText(const void* address, int length) {
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(static_cast<const sockaddr*>(address), static_cast<socklen_t>(length), host,
                      sizeof host, service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return QStringLiteral("?");
    }
    const QString hostText = QString::fromLatin1(host);
    const QString serviceText = QString::fromLatin1(service);
    return hostText.contains(u':') ? u'[' + hostText + QStringLiteral("]:") + serviceText
                                   : hostText + u':' + serviceText;
}

int PendingError(SocketHandle socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

} // namespace SocketCalls

#include "platform/net/NetError.h"

#include <winsock2.h>

#include <array>
#include <utility>

// Winsock's codes, worded as Linux words the same failures (strerror() and
// gai_strerror()), so that the operator reads the same message on either
// system; a code not among them takes the system's own words.

namespace {

constexpr std::array<std::pair<int, const char*>, 22> LinuxWords = {{
    {WSAECONNREFUSED, "Connection refused"},
    {WSAETIMEDOUT, "Connection timed out"},
    {WSAEHOSTUNREACH, "No route to host"},
    {WSAENETUNREACH, "Network is unreachable"},
    {WSAENETDOWN, "Network is down"},
    {WSAECONNRESET, "Connection reset by peer"},
    {WSAECONNABORTED, "Software caused connection abort"},
    {WSAENETRESET, "Network dropped connection on reset"},
    {WSAENOTCONN, "Transport endpoint is not connected"},
    {WSAESHUTDOWN, "Cannot send after transport endpoint shutdown"},
    {WSAEWOULDBLOCK, "Resource temporarily unavailable"},
    {WSAEADDRINUSE, "Address already in use"},
    {WSAEADDRNOTAVAIL, "Cannot assign requested address"},
    {WSAEAFNOSUPPORT, "Address family not supported by protocol"},
    {WSAEACCES, "Permission denied"},
    {WSAEMFILE, "Too many open files"},
    {WSAENOBUFS, "No buffer space available"},
    {WSAEINVAL, "Invalid argument"},
    // The resolver's answers.
    {WSAHOST_NOT_FOUND, "Name or service not known"},
    {WSATRY_AGAIN, "Temporary failure in name resolution"},
    {WSANO_RECOVERY, "Non-recoverable failure in name resolution"},
    {WSANO_DATA, "No address associated with hostname"},
}};

QString systemWords(int code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString words = length > 0 ? QString::fromWCharArray(text, int(length)).trimmed() : QString();
    ::LocalFree(text);
    // The system's sentences end with a full stop, which would break the
    // line they are put into.
    while (words.endsWith(u'.')) {
        words.chop(1);
    }
    return words.isEmpty() ? QStringLiteral("Windows error %1").arg(code) : words;
}

} // namespace

NetError NetErrorOf(int code) {
    for (const auto& [known, words] : LinuxWords) {
        if (known == code) {
            return NetError{code, QString::fromLatin1(words)};
        }
    }
    return NetError{code, systemWords(code)};
}

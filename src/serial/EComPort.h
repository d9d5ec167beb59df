#pragma once
// The one error class of the serial port component: a library code that
// indexes a fixed table of 23 messages, and the operating system's code
// (all bits set when there is none).

#include <cstdint>
#include <stdexcept>
#include <string>

// Library codes, the indexes of the message table.
constexpr int CError_OpenFailed = 1;
constexpr int CError_WriteFailed = 2;
constexpr int CError_ReadFailed = 3;
constexpr int CError_InvalidAsync = 4;
constexpr int CError_PurgeFailed = 5;
constexpr int CError_AsyncCheck = 6;
constexpr int CError_SetStateFailed = 7;
constexpr int CError_TimeoutsFailed = 8;
constexpr int CError_SetupComFailed = 9;
constexpr int CError_ClearComFailed = 10;
constexpr int CError_ModemStatFailed = 11;
constexpr int CError_EscapeComFailed = 12;
constexpr int CError_TransmitFailed = 13;
constexpr int CError_ConnChangeProp = 14;
constexpr int CError_EnumPortsFailed = 15;
constexpr int CError_StoreFailed = 16;
constexpr int CError_LoadFailed = 17;
constexpr int CError_RegFailed = 18;
constexpr int CError_LedStateFailed = 19;
constexpr int CError_ThreadCreated = 20;
constexpr int CError_WaitFailed = 21;
constexpr int CError_HasLink = 22;
constexpr int CError_RegError = 23;

/// The message text for a library code, or an empty text for a code outside the table.
std::string ComErrorMessage(int libraryCode);

class EComPort : public std::runtime_error {
public:
    static constexpr std::uint32_t NoSystemCode = 0xFFFFFFFFU;

    /// An error with a system code: the message is the table text followed
    /// by " (win error code: N)".
    EComPort(std::uint32_t systemCode, int libraryCode);
    /// An error without one: the message is the table text alone.
    explicit EComPort(int libraryCode);

    std::uint32_t SystemCode() const { return m_systemCode; }
    int LibraryCode() const { return m_libraryCode; }
    std::string Message() const { return what(); }

private:
    std::uint32_t m_systemCode = NoSystemCode;
    int m_libraryCode = 0;
};

/// Whether the system code says the device has gone away under an open port
/// (IsDeviceGone): on a USB adapter, it was pulled out.
bool ComDeviceGone(const EComPort& error);

/// Whether a failed read or write says that the line has gone away.
bool ComLineLost(const EComPort& error);

/// What the operator can do about a failed opening, in plain words (empty
/// when there is no advice): a missing device, a busy one, missing rights;
/// and about a read or write on a line that has gone away under it.
std::string ComErrorAdvice(const EComPort& error);

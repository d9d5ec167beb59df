// What the operator reads when a COM port fails: Windows error codes give the
// same advice as the errno values on Linux, and a code without advice is
// worded by the system.

#include "poll/ComPortAdapter.h"
#include "serial/EComPort.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

struct PortErrorCase {
    std::string what;
    DWORD code;
    int libraryCode;
    QString expected;
};

TEST(PortErrors, WindowsCodesGiveTheSameAdviceAsOnLinux) {
    const QString missing = QStringLiteral(
        "The port does not exist: check the port name and that the adapter is plugged in.");
    const QString busy = QStringLiteral("Another program is using the port: close it there first.");
    const QString gone =
        QStringLiteral("The port stopped working; the adapter may have been unplugged.");
    const std::vector<PortErrorCase> cases = {
        {"no such port", ERROR_FILE_NOT_FOUND, CError_OpenFailed, missing},
        {"a name that is no port", ERROR_INVALID_NAME, CError_OpenFailed, missing},
        // A COM port is opened without sharing: held elsewhere, it is denied.
        {"a port another program has", ERROR_ACCESS_DENIED, CError_OpenFailed, busy},
        {"a port in use", ERROR_SHARING_VIOLATION, CError_OpenFailed, busy},
        {"a file given as the port", ERROR_INVALID_FUNCTION, CError_OpenFailed,
         QStringLiteral("This is not a serial port: choose a device such as ttyUSB0.")},
        {"no threads left", ERROR_NOT_ENOUGH_MEMORY, CError_OpenFailed,
         QStringLiteral("The system is short of memory or threads: close other programs and "
                        "try again.")},
        {"an adapter pulled out while reading", ERROR_BAD_COMMAND, CError_ReadFailed, gone},
        {"an adapter pulled out while writing", ERROR_DEVICE_NOT_CONNECTED, CError_WriteFailed,
         gone},
        // Denied on an open line is the driver letting go of a removed device.
        {"a removed device denying the read", ERROR_ACCESS_DENIED, CError_ReadFailed, gone},
    };
    for (const PortErrorCase& error : cases) {
        EXPECT_EQ(PortErrorText(EComPort(error.code, error.libraryCode)), error.expected)
            << error.what;
    }
}

TEST(PortErrors, ACodeWithoutAdviceIsWordedByTheSystem) {
    const QString text = PortErrorText(EComPort(ERROR_INVALID_PARAMETER, CError_SetStateFailed));
    EXPECT_TRUE(text.startsWith("SetCommState function failed (win error code: 87) ("))
        << text.toStdString();
    // The system's sentence, without its full stop and line break.
    EXPECT_FALSE(text.endsWith(".)")) << text.toStdString();
    EXPECT_FALSE(text.contains('\n')) << text.toStdString();
    EXPECT_GT(text.size(),
              QStringLiteral("SetCommState function failed (win error code: 87) ()").size());
}

} // namespace

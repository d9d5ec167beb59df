#include "serial/ComTypes.h"
#include "serial/EComPort.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(ComTypes, OrdinalsThatOtherCodeIndexesBy) {
    EXPECT_EQ(br2400, 5);
    EXPECT_EQ(br9600, 7);
    EXPECT_EQ(br19200, 9);
    EXPECT_EQ(br57600, 12);
    EXPECT_EQ(br115200, 13);
    EXPECT_EQ(br256000, 15);
    EXPECT_EQ(fcCustom, 3);
    EXPECT_EQ(evRx80Full, 9);
    EXPECT_EQ(AllComEvents.ToBits(), 0x03FF);
    EXPECT_EQ(sizeof(TBaudRate), 1U);
}

TEST(ComTypes, NamesAndParsesRoundTripForEveryValue) {
    const int rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                         14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int value = brCustom; value <= br256000; ++value) {
        const auto rate = TBaudRate(value);
        EXPECT_EQ(ParseBaudRate(BaudRateName(rate)), rate);
        EXPECT_EQ(BaudRateValue(rate), rates[value]);
    }
    for (int value = sbOneStopBit; value <= sbTwoStopBits; ++value) {
        EXPECT_EQ(ParseStopBits(StopBitsName(TStopBits(value))), TStopBits(value));
    }
    for (int value = dbFive; value <= dbEight; ++value) {
        EXPECT_EQ(ParseDataBits(DataBitsName(TDataBits(value))), TDataBits(value));
    }
    for (int value = prNone; value <= prSpace; ++value) {
        EXPECT_EQ(ParseParity(ParityName(TParityBits(value))), TParityBits(value));
    }
    for (int value = fcHardware; value <= fcCustom; ++value) {
        EXPECT_EQ(ParseFlowControl(FlowControlName(TFlowControl(value))), TFlowControl(value));
    }
    for (int value = dtrDisable; value <= dtrHandshake; ++value) {
        EXPECT_EQ(ParseDTRControl(DTRControlName(TDTRFlowControl(value))), TDTRFlowControl(value));
    }
    for (int value = rtsDisable; value <= rtsToggle; ++value) {
        EXPECT_EQ(ParseRTSControl(RTSControlName(TRTSFlowControl(value))), TRTSFlowControl(value));
    }
    EXPECT_EQ(StopBitsName(sbOne5StopBits), "1.5");
    EXPECT_EQ(ParityName(prSpace), "Space");
    EXPECT_EQ(RTSControlName(rtsToggle), "Toggle");
    EXPECT_EQ(YesNoName(true), "Yes");
    EXPECT_EQ(YesNoName(false), "No");
}

TEST(ComTypes, ParsingIgnoresCaseButNothingElseAndFallsBack) {
    EXPECT_EQ(ParseBaudRate("custom"), brCustom);
    EXPECT_EQ(ParseBaudRate("CuStOm"), brCustom);
    EXPECT_EQ(ParseBaudRate("115200"), br115200);
    EXPECT_EQ(ParseBaudRate(""), br9600);
    EXPECT_EQ(ParseBaudRate("9600 "), br9600);
    EXPECT_EQ(ParseBaudRate(" 19200"), br9600);
    EXPECT_EQ(ParseStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(ParseDataBits("9"), dbEight);
    EXPECT_EQ(ParseParity("none"), prNone);
    EXPECT_EQ(ParseParity("EVEN"), prEven);
    EXPECT_EQ(ParseParity("bogus"), prNone);
    EXPECT_EQ(ParseFlowControl("hardware"), fcHardware);
    EXPECT_EQ(ParseFlowControl("RTS/CTS"), fcCustom);
    EXPECT_EQ(ParseFlowControl(""), fcCustom);
    EXPECT_EQ(ParseDTRControl("maybe"), dtrDisable);
    EXPECT_EQ(ParseRTSControl("toggle"), rtsToggle);
    EXPECT_EQ(ParseRTSControl(std::string("Toggle\0x", 8)), rtsDisable);
    EXPECT_TRUE(ParseYesNo("yes"));
    EXPECT_FALSE(ParseYesNo("Yes "));
    EXPECT_FALSE(ParseYesNo("true"));
}

TEST(ComTypes, ValuesOutsideTheTablesHaveNoTextInsteadOfReadingPastThem) {
    EXPECT_EQ(BaudRateName(TBaudRate(16)), "");
    EXPECT_EQ(BaudRateName(TBaudRate(255)), "");
    EXPECT_EQ(BaudRateValue(TBaudRate(200)), 0);
    EXPECT_EQ(StopBitsName(TStopBits(3)), "");
    EXPECT_EQ(DataBitsName(TDataBits(4)), "");
    EXPECT_EQ(ParityName(TParityBits(5)), "");
    EXPECT_EQ(FlowControlName(TFlowControl(4)), "");
    EXPECT_EQ(DTRControlName(TDTRFlowControl(3)), "");
    EXPECT_EQ(RTSControlName(TRTSFlowControl(4)), "");
}

TEST(ComTypes, CharacterNames) {
    EXPECT_EQ(CharName(17), "#17");
    EXPECT_EQ(CharName(65), "A");
    EXPECT_EQ(CharName(32), "#32");
    EXPECT_EQ(CharName(33), "!");
    EXPECT_EQ(CharName(127), std::string(1, char(127)));
    EXPECT_EQ(CharName(128), "#128");
    EXPECT_EQ(CharName(0), "#0");
    EXPECT_EQ(CharName(255), "#255");
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(ParseCharName(CharName(std::uint8_t(code))), code) << code;
    }
}

TEST(ComTypes, ParsingCharacterNamesOfOddShapes) {
    EXPECT_EQ(ParseCharName(""), 0);
    EXPECT_EQ(ParseCharName("#"), 35);
    EXPECT_EQ(ParseCharName("#A"), 0);
    EXPECT_EQ(ParseCharName("#300"), 44);
    EXPECT_EQ(ParseCharName("AB"), 65);
    EXPECT_EQ(ParseCharName("#13x"), 0);
    EXPECT_EQ(ParseCharName("#-1"), 255);
    EXPECT_EQ(ParseCharName("#99999999999999999999999"), 0);
    // Numbers are 32-bit integers: one past the range is no number at all,
    // not its low eight bits.
    EXPECT_EQ(ParseCharName("#2147483647"), 255);
    EXPECT_EQ(ParseCharName("#-2147483648"), 0);
    EXPECT_EQ(ParseCharName("#4294967340"), 0);
    EXPECT_EQ(ParseCharName(std::string("\xE4\xB8\xAD")), 0xE4);
}

TEST(ComTypes, SetsHoldOneBitPerValue) {
    TComEvents events = {evRxChar, evRLSD};
    EXPECT_EQ(events.ToBits(), 0x0101);
    EXPECT_TRUE(events.Contains(evRLSD));
    EXPECT_FALSE(events.Contains(evCTS));
    events.Exclude(evRxChar);
    events.Include(evRx80Full);
    EXPECT_EQ(events.ToBits(), 0x0300);
    EXPECT_TRUE(TComErrors().Empty());
}

TEST(EComPort, MessagesWithAndWithoutSystemCode) {
    const EComPort missing(2, CError_OpenFailed);
    EXPECT_STREQ(missing.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(missing.SystemCode(), 2U);
    EXPECT_EQ(missing.LibraryCode(), 1);

    const EComPort plain(CError_ConnChangeProp);
    EXPECT_EQ(plain.Message(), "Cannot set property while connected");
    EXPECT_EQ(plain.SystemCode(), 0xFFFFFFFFU);
    EXPECT_EQ(plain.LibraryCode(), 14);

    // Every text of the table, as operators and logs see them.
    const char* const texts[] = {
        "Unable to open com port",
        "WriteFile function failed",
        "ReadFile function failed",
        "Invalid Async parameter",
        "PurgeComm function failed",
        "Unable to get async status",
        "SetCommState function failed",
        "SetCommTimeouts failed",
        "SetupComm function failed",
        "ClearCommError function failed",
        "GetCommModemStatus function failed",
        "EscapeCommFunction function failed",
        "TransmitCommChar function failed",
        "Cannot set property while connected",
        "EnumPorts function failed",
        "Failed to store settings",
        "Failed to load settings",
        "Link (un)registration failed",
        "Cannot change led state if ComPort is selected",
        "Cannot wait for event if event thread is created",
        "WaitForEvent method failed",
        "A component is linked to OnRxBuf event",
        "Registry error",
    };
    for (int code = 1; code <= 23; ++code) {
        EXPECT_EQ(ComErrorMessage(code), texts[code - 1]) << code;
    }
    EXPECT_EQ(ComErrorMessage(0), "");
    EXPECT_EQ(ComErrorMessage(24), "");
    EXPECT_EQ(ComErrorMessage(-5), "");
    EXPECT_STREQ(EComPort(CError_LoadFailed).what(), "Failed to load settings");
}

TEST(EComPort, AdviceForFailedOpeningsAndLostLines) {
    EXPECT_NE(ComErrorAdvice(EComPort(13, CError_OpenFailed)).find("dialout"), std::string::npos);
    EXPECT_NE(ComErrorAdvice(EComPort(16, CError_OpenFailed)).find("Another program"),
              std::string::npos);
    EXPECT_NE(ComErrorAdvice(EComPort(2, CError_OpenFailed)).find("does not exist"),
              std::string::npos);
    EXPECT_EQ(ComErrorAdvice(EComPort(13, CError_WriteFailed)), "");
    EXPECT_EQ(ComErrorAdvice(EComPort(CError_OpenFailed)), "");
    EXPECT_NE(ComErrorAdvice(EComPort(ENOMEM, CError_OpenFailed)).find("short of memory"),
              std::string::npos);
    // A hung-up line (an adapter pulled out) fails reads and writes with EIO.
    for (const int code : {CError_WriteFailed, CError_ReadFailed}) {
        EXPECT_NE(ComErrorAdvice(EComPort(EIO, code)).find("unplugged"), std::string::npos);
        EXPECT_NE(ComErrorAdvice(EComPort(ENODEV, code)).find("unplugged"), std::string::npos);
    }
    EXPECT_EQ(ComErrorAdvice(EComPort(EIO, CError_OpenFailed)), "");
    EXPECT_EQ(ComErrorAdvice(EComPort(EIO, CError_PurgeFailed)), "");
}

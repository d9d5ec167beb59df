// Setting objects and the port's setters on a closed port: values, presets,
// copy rules and what does (not) reach an apply step.

#include "serial/ComPort.h"
#include "serial/ComPortProperties.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

// Counts the apply steps a setter runs; a closed port pushes nothing, so the
// counts show which step a change asked for.
class CountingPort : public TCustomComPort {
public:
    int lineApplies = 0;
    int timeoutApplies = 0;
    int bufferApplies = 0;
    void ApplyLineSettings() override {
        ++lineApplies;
        TCustomComPort::ApplyLineSettings();
    }
    void ApplyTimeoutSettings() override {
        ++timeoutApplies;
        TCustomComPort::ApplyTimeoutSettings();
    }
    void ApplyBufferSizes() override {
        ++bufferApplies;
        TCustomComPort::ApplyBufferSizes();
    }
};

} // namespace

TEST(ComSettings, Defaults) {
    TComPort port;
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_FALSE(port.DiscardNull());
    EXPECT_EQ(port.EventChar(), 0);
    EXPECT_EQ(port.Events(), AllComEvents);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.SavedGroups(), TSettingsGroups{sgBasic});
    EXPECT_TRUE(port.RxByCount());
    EXPECT_EQ(port.EventPriority(), tpNormal);
    EXPECT_EQ(port.ApplyHold(), 0);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().XonChar(), 17);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
    EXPECT_EQ(port.Parity().ComPort(), &port);
    EXPECT_EQ(port.Buffer().ComPort(), &port);
    EXPECT_EQ(port.LineSpeed(), 9600);
}

TEST(ComSettings, EachChangeRunsItsGroupsApplyStepAndEqualValuesRunNone) {
    CountingPort port;
    port.SetBaudRate(br9600);
    port.Parity().SetBits(prNone);
    port.Timeouts().SetReadInterval(-1);
    port.Buffer().SetInputSize(1024);
    EXPECT_EQ(port.lineApplies + port.timeoutApplies + port.bufferApplies, 0);

    port.SetBaudRate(br19200);
    port.SetCustomBaudRate(250000);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    port.SetDiscardNull(true);
    port.SetEventChar(13);
    port.Parity().SetCheck(true);
    port.FlowControl().SetXonChar(1);
    EXPECT_EQ(port.lineApplies, 8);
    port.Timeouts().SetWriteTotalConstant(5);
    EXPECT_EQ(port.timeoutApplies, 1);
    port.Buffer().SetOutputSize(2048);
    EXPECT_EQ(port.bufferApplies, 1);

    // Whole-object assignment pushes without comparing.
    port.SetParity(port.Parity());
    port.SetTimeouts(port.Timeouts());
    port.SetBuffer(port.Buffer());
    EXPECT_EQ(port.lineApplies, 9);
    EXPECT_EQ(port.timeoutApplies, 2);
    EXPECT_EQ(port.bufferApplies, 2);

    // Plain stores.
    port.SetEvents({evRxChar});
    port.SetRxByCount(false);
    EXPECT_EQ(port.lineApplies, 9);
}

TEST(ComSettings, BufferSizesAreKeptEven) {
    CountingPort port;
    port.Buffer().SetInputSize(1025);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    // The setter saw a change (1025 differs from 1024), so it still applies.
    EXPECT_EQ(port.bufferApplies, 1);
    port.Buffer().SetInputSize(1024);
    EXPECT_EQ(port.bufferApplies, 1);
    port.Buffer().SetOutputSize(7);
    EXPECT_EQ(port.Buffer().OutputSize(), 6);
    port.Buffer().SetOutputSize(-3);
    EXPECT_EQ(port.Buffer().OutputSize(), -3);
}

TEST(ComSettings, FlowControlPresets) {
    CountingPort port;
    TComFlowControl& flow = port.FlowControl();
    flow.SetControlDTR(dtrEnable);
    flow.SetOutDSRFlow(true);
    flow.SetFlowControl(fcHardware);
    EXPECT_EQ(flow.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(flow.OutCTSFlow());
    EXPECT_EQ(flow.FlowControl(), fcHardware);

    flow.SetFlowControl(fcNone);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_EQ(flow.ControlDTR(), dtrEnable);
    EXPECT_TRUE(flow.OutDSRFlow());
    EXPECT_EQ(flow.FlowControl(), fcNone);

    flow.SetFlowControl(fcSoftware);
    EXPECT_TRUE(flow.XonXoffIn());
    EXPECT_TRUE(flow.XonXoffOut());
    EXPECT_EQ(flow.FlowControl(), fcSoftware);

    // fcCustom changes nothing but still pushes the line settings.
    const int before = port.lineApplies;
    flow.SetFlowControl(fcCustom);
    EXPECT_EQ(flow.FlowControl(), fcSoftware);
    EXPECT_EQ(port.lineApplies, before + 1);

    flow.SetFlowControl(fcNone);
    flow.SetControlRTS(rtsHandshake);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
    flow.SetOutCTSFlow(true);
    flow.SetXonXoffOut(true);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
    flow.SetFlowControl(fcNone);
    flow.SetXonXoffIn(true);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
    flow.SetControlRTS(rtsEnable);
    flow.SetXonXoffIn(false);
    EXPECT_EQ(flow.FlowControl(), fcCustom);
}

TEST(ComSettings, CopiesTakeEveryFieldAndNoBackReference) {
    TComPort port;
    TComFlowControl& flow = port.FlowControl();
    flow.SetOutCTSFlow(true);
    flow.SetOutDSRFlow(true);
    flow.SetControlDTR(dtrHandshake);
    flow.SetControlRTS(rtsToggle);
    flow.SetXonXoffOut(true);
    flow.SetXonXoffIn(true);
    flow.SetDSRSensitivity(true);
    flow.SetTxContinueOnXoff(true);
    flow.SetXonChar(1);
    flow.SetXoffChar(2);

    const TComFlowControl copy(flow);
    EXPECT_EQ(copy.ComPort(), nullptr);
    TComPort other;
    other.SetFlowControl(copy);
    const TComFlowControl& target = other.FlowControl();
    EXPECT_EQ(target.ComPort(), &other);
    EXPECT_TRUE(target.OutCTSFlow() && target.OutDSRFlow() && target.XonXoffOut() &&
                target.XonXoffIn() && target.DSRSensitivity() && target.TxContinueOnXoff());
    EXPECT_EQ(target.ControlDTR(), dtrHandshake);
    EXPECT_EQ(target.ControlRTS(), rtsToggle);
    EXPECT_EQ(target.XonChar(), 1);
    EXPECT_EQ(target.XoffChar(), 2);

    TComParity parity;
    parity.SetBits(prMark);
    parity.SetCheck(true);
    parity.SetReplace(true);
    parity.SetReplaceChar(63);
    other.SetParity(parity);
    EXPECT_EQ(other.Parity().Bits(), prMark);
    EXPECT_TRUE(other.Parity().Check() && other.Parity().Replace());
    EXPECT_EQ(other.Parity().ReplaceChar(), 63);

    TComTimeouts timeouts;
    timeouts.SetReadInterval(1);
    timeouts.SetReadTotalMultiplier(2);
    timeouts.SetReadTotalConstant(3);
    timeouts.SetWriteTotalMultiplier(4);
    timeouts.SetWriteTotalConstant(5);
    other.SetTimeouts(timeouts);
    const TComTimeouts& copied = other.Timeouts();
    EXPECT_EQ(copied.ReadInterval() * 10000 + copied.ReadTotalMultiplier() * 1000 +
                  copied.ReadTotalConstant() * 100 + copied.WriteTotalMultiplier() * 10 +
                  copied.WriteTotalConstant(),
              12345);

    TComBuffer buffer;
    buffer.SetInputSize(4096);
    buffer.SetOutputSize(512);
    other.SetBuffer(buffer);
    EXPECT_EQ(other.Buffer().InputSize(), 4096);
    EXPECT_EQ(other.Buffer().OutputSize(), 512);
}

TEST(ComSettings, CopyingFromAnotherClassIsRefused) {
    TComParity parity;
    const TComBuffer buffer;
    EXPECT_THROW(parity.Assign(buffer), std::invalid_argument);
    TComTimeouts timeouts;
    EXPECT_THROW(timeouts.Assign(parity), std::invalid_argument);
    EXPECT_EQ(timeouts.ReadInterval(), -1);
}

TEST(ComSettings, ClosedPortTakesEveryChangeIncludingSyncMethodAndPort) {
    TComPort port;
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.SetPort("ttyUSB7");
    EXPECT_EQ(port.Port(), "ttyUSB7");
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    EXPECT_EQ(port.LineSpeed(), 31250);
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
}

TEST(ComSettings, HoldsNestAndAnUnmatchedResumeIsHarmless) {
    TComPort port;
    port.ResumeApply();
    EXPECT_EQ(port.ApplyHold(), 0);
    port.SuspendApply();
    port.SuspendApply();
    port.ResumeApply();
    EXPECT_EQ(port.ApplyHold(), 1);
    port.ResumeApply();
    port.ResumeApply();
    EXPECT_EQ(port.ApplyHold(), 0);
}

TEST(ComSettings, WhileLoadingSettersOnlyStore) {
    TComPort port;
    port.SetPort("/nonexistent/kestro-port");
    port.BeginLoading();
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(port.HasEventThread());
    port.SetSyncMethod(smWindowSync);
    EXPECT_EQ(port.SyncMethod(), smWindowSync);
}

TEST(ComSettings, StoredDescriptionOfTheOperatorProgramsPort) {
    // The port as the main window declares it: blank port name, two stop
    // bits, every event but CTS and DSR.
    TComPort port;
    port.SetPort(" ");
    port.SetStopBits(sbTwoStopBits);
    TComEvents events = AllComEvents;
    events.Exclude(evCTS);
    events.Exclude(evDSR);
    port.SetEvents(events);
    const std::vector<TPublishedValue> expected = {
        {"BaudRate", "br9600"},
        {"Port", "' '"},
        {"Parity.Bits", "prNone"},
        {"StopBits", "sbTwoStopBits"},
        {"DataBits", "dbEight"},
        {"Events", "[evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evError, evRLSD, evRx80Full]"},
        {"FlowControl.OutCTSFlow", "False"},
        {"FlowControl.OutDSRFlow", "False"},
        {"FlowControl.ControlDTR", "dtrDisable"},
        {"FlowControl.ControlRTS", "rtsDisable"},
        {"FlowControl.XonXoffOut", "False"},
        {"FlowControl.XonXoffIn", "False"},
    };
    EXPECT_EQ(StoredPublishedValues(port), expected);

    port.Timeouts().SetWriteTotalConstant(50);
    port.FlowControl().SetXonChar(1);
    port.SetSyncMethod(smNone);
    port.SetPort("it's\t");
    const auto values = StoredPublishedValues(port);
    EXPECT_EQ(values[1].Value, "'it''s'#9");
    EXPECT_EQ(values.back(), (TPublishedValue{"SyncMethod", "smNone"}));
    EXPECT_NE(std::find(values.begin(), values.end(),
                        TPublishedValue{"Timeouts.WriteTotalConstant", "50"}),
              values.end());
    EXPECT_NE(std::find(values.begin(), values.end(), TPublishedValue{"FlowControl.XonChar", "#1"}),
              values.end());
    EXPECT_EQ(PublishedPropertyNames().size(), 28U);
    EXPECT_EQ(PublishedPropertyNames()[12], "SyncMethod");
}

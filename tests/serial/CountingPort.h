#pragma once
// A port that counts the settings pushes that really reach an open device:
// the apply steps run on every change, but only push when the port is open
// and no hold is in force.

#include "serial/ComPort.h"

class CountingPort : public TComPort {
public:
    void ApplyAllSettings() override {
        if (pushes())
            ++allPushes;
        TComPort::ApplyAllSettings();
    }
    void ApplyLineSettings() override {
        if (pushes())
            ++linePushes;
        TComPort::ApplyLineSettings();
    }
    void resetCounts() {
        allPushes = 0;
        linePushes = 0;
    }

    int allPushes = 0;
    int linePushes = 0;

private:
    bool pushes() const { return Connected() && ApplyHold() == 0; }
};

// Whether the monitor's power level, as DPMS reports it, lets the hack rest.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include "x11/display_power.h"

namespace {

struct Case {
    const char* name;
    bool answered;
    int level;
    bool asleep;
};

TEST(DisplayPower, WhenTheMonitorSleeps) {
    const Case cases[] = {
        {"on", true, DPMSModeOn, false},
        {"standby", true, DPMSModeStandby, true},
        {"suspended", true, DPMSModeSuspend, true},
        {"off", true, DPMSModeOff, true},
        {"a level the protocol does not know", true, 7, false},
        {"a negative level", true, -1, false},
        {"no answer, said off", false, DPMSModeOff, false},
        {"no answer", false, DPMSModeOn, false},
    };
    for (const Case& c : cases) EXPECT_EQ(MonitorAsleep(c.answered, c.level), c.asleep) << c.name;
}

}  // namespace

#include "x11/display_power.h"

#include <X11/extensions/dpms.h>

#include <algorithm>

namespace {

constexpr int64_t kLookEveryNs = 1000000000;

}  // namespace

bool MonitorAsleep(bool answered, int powerLevel) {
    if (!answered) return false;
    return powerLevel == DPMSModeStandby || powerLevel == DPMSModeSuspend || powerLevel == DPMSModeOff;
}

DisplayPower::DisplayPower(Display* display) : display_(display) {
    int eventBase = 0;
    int errorBase = 0;
    known_ = DPMSQueryExtension(display_, &eventBase, &errorBase) && DPMSCapable(display_);
}

bool DisplayPower::Asleep(int64_t nowNs) {
    if (!known_ || nowNs < nextLookNs_) return asleep_;
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    const bool answered = DPMSInfo(display_, &level, &enabled) != 0;
    asleep_ = MonitorAsleep(answered, level);
    nextLookNs_ = nowNs + kLookEveryNs;
    return asleep_;
}

int64_t DisplayPower::NsUntilNextLook(int64_t nowNs) const {
    if (!known_) return -1;
    if (nextLookNs_ == INT64_MIN) return 0;
    return std::max<int64_t>(0, nextLookNs_ - nowNs);
}

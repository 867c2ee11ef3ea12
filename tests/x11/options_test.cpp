// The hack's command line: what each accepted form sets, and how values
// outside a range are brought back into it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "x11/options.h"

namespace {

struct Accepted {
    std::vector<const char*> args;
    TargetKind target;
    unsigned long windowId;
    int64_t delay;
    bool fps;
    std::vector<int32_t> settings;  // the six rows
    int64_t stepsPerSecond = 30000;
};

TEST(HackOptions, AcceptedFormsAndClamping) {
    const std::vector<int32_t> defaults = {225, 5, 94, 8, 0, 10};
    const Accepted cases[] = {
        {{}, TargetKind::OwnWindow, 0, 33333, false, defaults},
        {{"-root"}, TargetKind::Root, 0, 33333, false, defaults},
        {{"--root", "--window"}, TargetKind::OwnWindow, 0, 33333, false, defaults},
        {{"--window-id", "0x1a"}, TargetKind::WindowId, 26, 33333, false, defaults},
        {{"-window-id", "4294967295"}, TargetKind::WindowId, 4294967295UL, 33333, false, defaults},
        {{"-fps", "--delay", "0"}, TargetKind::OwnWindow, 0, 0, true, defaults},
        {{"--steps-per-second", "0"}, TargetKind::OwnWindow, 0, 33333, false, defaults, 0},
        {{"--steps-per-second", "-7"}, TargetKind::OwnWindow, 0, 33333, false, defaults, 0},
        {{"-steps-per-second", "5000000"}, TargetKind::OwnWindow, 0, 33333, false, defaults, 1000000},
        {{"--delay", "-1"}, TargetKind::OwnWindow, 0, 0, false, defaults},
        {{"--delay", "99999999999999999999999"}, TargetKind::OwnWindow, 0, 10000000, false, defaults},
        {{"--max-bk-colour", "300", "--col-change-per", "0", "--delta-theta", "-5"},
         TargetKind::OwnWindow, 0, 33333, false, {255, 1, 0, 8, 0, 10}},
        {{"-gradient", "99999999999999999999", "-randomness", "3", "-resolution", "-99999999999999999999"},
         TargetKind::OwnWindow, 0, 33333, false, {225, 5, 94, 20, 3, 0}},
    };
    for (const Accepted& c : cases) {
        std::vector<const char*> argv = {"gyrel"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string joined;
        for (const char* a : c.args) joined += std::string(a) + " ";
        SCOPED_TRACE(joined);

        HackOptions options;
        std::string problem;
        ASSERT_EQ(ParseHackOptions(static_cast<int>(argv.size()), argv.data(), &options, &problem),
                  ParseOutcome::Run)
            << problem;
        EXPECT_EQ(options.target, c.target);
        if (c.target == TargetKind::WindowId) {
            EXPECT_EQ(options.windowId, c.windowId);
        }
        EXPECT_EQ(options.delayMicroseconds, c.delay);
        EXPECT_EQ(options.showFps, c.fps);
        EXPECT_EQ(options.stepsPerSecond, c.stepsPerSecond);
        EXPECT_EQ(std::vector<int32_t>(options.settings, options.settings + kSettingsRows), c.settings);
    }
}

TEST(HackOptions, WindowIdsBeyondThirtyTwoBitsOrZeroAreRefused) {
    for (const char* text : {"0", "0x0", "4294967296", "0x100000000", "0x", "12a", "-5", ""}) {
        unsigned long id = 7;
        EXPECT_FALSE(ParseWindowId(text, &id)) << text;
        EXPECT_EQ(id, 7u) << text;
    }
}

}  // namespace

// The hack's command line: what each accepted form sets, and how values
// outside a range are brought back into it.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
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

// The settings dialog's description of the options (x11/gyrel.xml) against
// the table the program takes them from, option by option: the name, the
// range and the default of each setting, and the defaults of the delay and
// the speed.
std::map<std::string, std::map<std::string, std::string>> XmlNumbersByOption() {
    std::ifstream file(GYREL_XML_PATH);
    std::stringstream text;
    text << file.rdbuf();
    const std::string xml = text.str();
    std::map<std::string, std::map<std::string, std::string>> numbers;
    for (size_t start = xml.find("<number"); start != std::string::npos; start = xml.find("<number", start)) {
        const size_t end = xml.find("/>", start);
        if (end == std::string::npos) break;
        std::map<std::string, std::string> attributes;
        // name="value" pairs, separated by white space.
        std::istringstream body(xml.substr(start + 7, end - start - 7));
        std::string name;
        std::string value;
        while (std::getline(body >> std::ws, name, '=') && body.get() == '"' && std::getline(body, value, '"')) {
            attributes[name] = value;
        }
        numbers[attributes["arg"]] = attributes;
        start = end;
    }
    return numbers;
}

TEST(HackOptions, TheSettingsDialogsDescriptionMatchesTheTable) {
    auto numbers = XmlNumbersByOption();
    ASSERT_FALSE(numbers.empty()) << GYREL_XML_PATH;
    const std::vector<std::string> names = {"max-bk-colour", "col-change-per", "delta-theta",
                                            "gradient",      "randomness",     "resolution"};
    for (int row = 0; row < kSettingsRows; ++row) {
        const SettingDefinition& definition = kSettingDefinitions[row];
        const std::string option = SettingOptionName(row);
        SCOPED_TRACE(option);
        EXPECT_EQ(option, names[row]);
        ASSERT_EQ(numbers.count("--" + option + " %"), 1u);
        auto& number = numbers["--" + option + " %"];
        EXPECT_EQ(number["low"], std::to_string(definition.minimum));
        EXPECT_EQ(number["high"], std::to_string(definition.maximum));
        EXPECT_EQ(number["default"], std::to_string(definition.defaultValue));
        EXPECT_NE(HackUsage().find("--" + option + " N"), std::string::npos);
        EXPECT_NE(HackUsage().find(std::to_string(definition.minimum) + ".." + std::to_string(definition.maximum) +
                                   " (" + std::to_string(definition.defaultValue) + ")"),
                  std::string::npos);
    }
    EXPECT_EQ(numbers["--delay %"]["default"], std::to_string(kDefaultDelayMicroseconds));
    EXPECT_EQ(numbers["--steps-per-second %"]["default"], std::to_string(kStepsPerSecondDefault));
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kSettingsRows + 2)) << "an option the table does not know";
}

}  // namespace

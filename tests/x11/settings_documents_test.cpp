// Every place that tells users a setting's range and default, held to the
// definitions the programs take them from: the six settings and the step
// budget, in the X11 hack's settings dialog (gyrel.xml), its usage text and
// manual page, the README's settings table and the Windows zip's README.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "effect/settings.h"
#include "x11/options.h"

namespace {

std::string ReadDocument(const char* path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_FALSE(text.str().empty()) << path;
    return text.str();
}

std::vector<SettingDefinition> AllSettings() {
    std::vector<SettingDefinition> all(kSettingDefinitions, kSettingDefinitions + kSettingsRows);
    all.push_back(kStepsPerSecondDefinition);
    return all;
}

// What a document says of one setting.
struct Told {
    bool found = false;
    std::string minimum, maximum, defaultValue;
};

std::string Expected(const SettingDefinition& d) {
    return std::to_string(d.minimum) + " to " + std::to_string(d.maximum) + ", default " +
           std::to_string(d.defaultValue);
}
std::string Said(const Told& told) {
    return told.found ? told.minimum + " to " + told.maximum + ", default " + told.defaultValue
                      : "nothing";
}

// gyrel.xml: <number ... arg="--option %" low= high= default=/>.
Told FromXml(const std::string& xml, const std::string& option) {
    Told told;
    const std::regex number("<number([^>]*)/>");
    const std::regex attribute("([a-z_-]+)=\"([^\"]*)\"");
    for (std::sregex_iterator n(xml.begin(), xml.end(), number), end; n != end; ++n) {
        std::map<std::string, std::string> attributes;
        const std::string body = (*n)[1];
        for (std::sregex_iterator a(body.begin(), body.end(), attribute); a != end; ++a) {
            attributes[(*a)[1]] = (*a)[2];
        }
        if (attributes["arg"] != "--" + option + " %") continue;
        told = {true, attributes["low"], attributes["high"], attributes["default"]};
    }
    return told;
}

// The manual page: ".B \-\-option" then "..., MIN to MAX." and "Default: D."
// before the next ".TP".
Told FromManual(const std::string& page, const std::string& option) {
    std::string escaped;
    for (char c : "--" + option) escaped += c == '-' ? std::string("\\\\-") : std::string(1, c);
    const std::regex entry(".B " + escaped + " [^\n]*\n([^]*?)(\n\\.TP|$)");
    const std::regex range("(-?[0-9]+) to (-?[0-9]+)\\.");
    const std::regex fallback("Default: (-?[0-9]+)");
    std::smatch e, r, f;
    if (!std::regex_search(page, e, entry)) return {};
    const std::string text = e[1];
    if (!std::regex_search(text, r, range) || !std::regex_search(text, f, fallback)) return {};
    return {true, r[1], r[2], f[1]};
}

// The README's table: | `Key` | what | MIN to MAX | D |
Told FromReadme(const std::string& readme, const std::string& key) {
    const std::regex row("\\| `" + key + "` \\|[^|\n]*\\| (-?[0-9]+) to (-?[0-9]+) \\| (-?[0-9]+) \\|");
    std::smatch m;
    if (!std::regex_search(readme, m, row)) return {};
    return {true, m[1], m[2], m[3]};
}

// The zip's README.txt: "  Key  what, MIN to MAX (D)", the entry perhaps
// wrapped onto the next line.
Told FromZipReadme(const std::string& text, const std::string& key) {
    const std::regex entry("\n  " + key + " +[^(]*?(-?[0-9]+) to (-?[0-9]+)[ \n]+\\((?:default )?(-?[0-9]+)\\)");
    std::smatch m;
    if (!std::regex_search(text, m, entry)) return {};
    return {true, m[1], m[2], m[3]};
}

TEST(SettingsDocuments, TellEachSettingsRangeAndDefaultAsDefined) {
    const std::string xml = ReadDocument(GYREL_XML_PATH);
    const std::string manual = ReadDocument(GYREL_MANUAL_PATH);
    const std::string readme = ReadDocument(GYREL_README_PATH);
    const std::string zipReadme = ReadDocument(GYREL_ZIP_README_PATH);
    const std::string usage = HackUsage();
    for (const SettingDefinition& d : AllSettings()) {
        const std::string option = SettingOptionName(d);
        const std::string expected = Expected(d);
        SCOPED_TRACE(d.key);
        EXPECT_EQ(Said(FromXml(xml, option)), expected) << "gyrel.xml";
        EXPECT_EQ(Said(FromManual(manual, option)), expected) << "the manual page";
        EXPECT_EQ(Said(FromReadme(readme, d.key)), expected) << "README.md";
        EXPECT_EQ(Said(FromZipReadme(zipReadme, d.key)), expected) << "README.txt";
        const std::string usageRange = std::to_string(d.minimum) + ".." + std::to_string(d.maximum) +
                                       " (" + std::to_string(d.defaultValue) + ")";
        EXPECT_NE(usage.find("--" + option + " N"), std::string::npos) << "usage";
        EXPECT_NE(usage.find(usageRange), std::string::npos) << "usage";
    }
    // The dialog offers no number the programs do not take: the settings,
    // the step budget and the frame delay.
    const std::regex number("<number");
    EXPECT_EQ(std::distance(std::sregex_iterator(xml.begin(), xml.end(), number), std::sregex_iterator()),
              kSettingsRows + 2);
    EXPECT_EQ(FromXml(xml, "delay").defaultValue, std::to_string(kDefaultDelayMicroseconds));
}

}  // namespace

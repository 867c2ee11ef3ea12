// The module's resources as the platform reads them from the built module:
// the page templates against the settings table, the monitor bitmap decoded
// by the platform itself, and the icons.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "effect/settings.h"
#include "resources/resource_ids.h"
#include "tests/integration/driver/driver_util.h"

namespace {

struct Control {
    int id;
    std::string className;
    std::string text;
    DWORD style;
    int x, y, cx, cy;
};

struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, className, caption;
    int pointSize = 0;
    std::string face;
    std::vector<Control> controls;
};

// Reads a DLGTEMPLATE (the classic layout, not the extended one). Strings
// and ordinals are stored as 16-bit words; an ordinal becomes "#<number>",
// and the predefined control classes become their names.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    Template Read() {
        Template t;
        t.style = Dword();
        t.exStyle = Dword();
        int count = Word();
        t.x = Short(), t.y = Short(), t.cx = Short(), t.cy = Short();
        t.menu = NameOrOrdinal();
        t.className = NameOrOrdinal();
        t.caption = Text();
        if (t.style & DS_SETFONT) {
            t.pointSize = Word();
            t.face = Text();
        }
        for (int i = 0; i < count; ++i) {
            at_ = (at_ + 3) & ~size_t{3};
            Control c;
            c.style = Dword();
            Dword();  // extended style
            c.x = Short(), c.y = Short(), c.cx = Short(), c.cy = Short();
            c.id = Word();
            c.className = ClassName();
            c.text = NameOrOrdinal();
            at_ += Word();  // creation data
            t.controls.push_back(c);
        }
        return t;
    }

private:
    uint16_t Word() {
        if (at_ + 2 > size_) throw std::runtime_error("template ends early");
        uint16_t value = static_cast<uint16_t>(data_[at_] | data_[at_ + 1] << 8);
        at_ += 2;
        return value;
    }
    int Short() { return static_cast<int16_t>(Word()); }
    DWORD Dword() {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    std::string Text() {
        std::string text;
        for (uint16_t c = Word(); c != 0; c = Word()) text += static_cast<char>(c);
        return text;
    }
    std::string NameOrOrdinal() {
        if (data_[at_] == 0xFF && data_[at_ + 1] == 0xFF) {
            at_ += 2;
            return "#" + std::to_string(Word());
        }
        return Text();
    }
    std::string ClassName() {
        std::string name = NameOrOrdinal();
        if (name == "#128") return "Button";
        if (name == "#129") return "Edit";
        if (name == "#130") return "Static";
        return name;
    }

    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExA(driver::ModulePath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
    }

    static Template LoadTemplate(int id) {
        if (module_ == nullptr) throw std::runtime_error("the module did not load");
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
        if (found == nullptr) throw std::runtime_error("no dialog " + std::to_string(id));
        HGLOBAL loaded = LoadResource(module_, found);
        const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
        return TemplateReader(data, SizeofResource(module_, found)).Read();
    }

    static HMODULE module_;
};
HMODULE Resources::module_ = nullptr;

TEST_F(Resources, BothPagesShareStyleFontAndSize) {
    ASSERT_NE(module_, nullptr);
    struct Page {
        int id;
        const char* caption;
        size_t controls;
    };
    for (const Page& expected : {Page{IDD_OPTIONS, "Options", 23}, Page{IDD_ABOUT, "About", 8}}) {
        Template page = LoadTemplate(expected.id);
        SCOPED_TRACE(expected.caption);
        EXPECT_EQ(page.style, 0x90C80044u);  // popup, visible, caption, system menu, font, 3D
        EXPECT_EQ(page.exStyle, 0u);
        EXPECT_EQ(page.cx, 252);
        EXPECT_EQ(page.cy, 218);
        EXPECT_EQ(page.menu, "");
        EXPECT_EQ(page.className, "");
        EXPECT_EQ(page.caption, expected.caption);
        EXPECT_EQ(page.pointSize, 8);
        EXPECT_EQ(page.face, "MS Sans Serif");
        EXPECT_EQ(page.controls.size(), expected.controls);
        for (const Control& control : page.controls) {
            EXPECT_EQ(control.style & (WS_CHILD | WS_VISIBLE), DWORD{WS_CHILD | WS_VISIBLE})
                << "control " << control.id;
        }
    }
}

TEST_F(Resources, EachSettingsRowHasItsFieldFollowedByItsUpDown) {
    // An up-down control takes the control just before it as its buddy, and
    // the page addresses both by the row's index.
    ASSERT_NE(module_, nullptr);
    Template page = LoadTemplate(IDD_OPTIONS);
    for (int row = 0; row < kSettingsRows; ++row) {
        size_t field = 0;
        while (field < page.controls.size() && page.controls[field].id != IDC_FIRST_EDIT + row) {
            ++field;
        }
        ASSERT_LT(field + 1, page.controls.size()) << "row " << row;
        const Control& edit = page.controls[field];
        const Control& upDown = page.controls[field + 1];
        EXPECT_EQ(lstrcmpiA(edit.className.c_str(), "Edit"), 0) << "row " << row;
        EXPECT_EQ(upDown.id, IDC_FIRST_UPDOWN + row) << "row " << row;
        EXPECT_EQ(lstrcmpiA(upDown.className.c_str(), UPDOWN_CLASSA), 0) << "row " << row;
        // It writes its position into the field as a number.
        EXPECT_EQ(upDown.style & (UDS_SETBUDDYINT | UDS_AUTOBUDDY),
                  DWORD{UDS_SETBUDDYINT | UDS_AUTOBUDDY}) << "row " << row;
    }
}

TEST_F(Resources, ThePlatformDecodesTheMonitorBitmapAndItsMask) {
    ASSERT_NE(module_, nullptr);
    HANDLE image = LoadImageA(module_, MAKEINTRESOURCEA(IDB_MONITOR), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION);
    ASSERT_NE(image, nullptr);
    auto bitmap = static_cast<HBITMAP>(image);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 368;
    info.bmiHeader.biHeight = -170;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(368 * 170);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, 170, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    ASSERT_EQ(rows, 170);

    auto at = [&](int x, int y) { return pixels[y * 368 + x] & 0xFFFFFF; };
    constexpr uint32_t kBlackPixel = 0x000000, kWhitePixel = 0xFFFFFF, kDarkCyan = 0x008080;
    // Opaque spans of a few mask rows, and the picture's screen.
    struct Span {
        int row, first, last;
    };
    for (const Span& span : {Span{0, 0, 183}, Span{145, 0, 183}, Span{146, 1, 182},
                             Span{147, 48, 135}, Span{162, 56, 127}, Span{163, 37, 145},
                             Span{165, 36, 146}, Span{168, 37, 145}, Span{169, -1, -1}}) {
        for (int x = 0; x < 184; ++x) {
            bool opaque = x >= span.first && x <= span.last;
            ASSERT_EQ(at(184 + x, span.row), opaque ? kBlackPixel : kWhitePixel)
                << "mask row " << span.row << ", column " << x;
        }
    }
    EXPECT_EQ(at(16, 17), kDarkCyan);
    EXPECT_EQ(at(167, 128), kDarkCyan);
    EXPECT_NE(at(15, 17), kDarkCyan);
    EXPECT_NE(at(168, 128), kDarkCyan);
}

TEST_F(Resources, TheManifestAsksForCommonControlsSixAndDpiAwarenessButNoElevation) {
    ASSERT_NE(module_, nullptr);
    // A program's manifest is resource 1 of type 24 (RT_MANIFEST).
    HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module_, found))),
                               SizeofResource(module_, found));
    // The dependency's identity element, whole.
    const size_t name = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(name, std::string::npos) << manifest;
    const size_t start = manifest.rfind("<assemblyIdentity", name);
    ASSERT_NE(start, std::string::npos);
    ASSERT_GT(manifest.rfind("<dependentAssembly>", start), manifest.rfind("<dependency>", start));
    const std::string identity = manifest.substr(start, manifest.find("/>", name) - start);
    for (const char* attribute : {"type=\"win32\"", "version=\"6.0.0.0\"", "processorArchitecture=\"*\"",
                                  "publicKeyToken=\"6595b64144ccf1df\""}) {
        EXPECT_NE(identity.find(attribute), std::string::npos) << attribute << " in " << identity;
    }
    // Per-monitor where the platform knows it, system-wide before that.
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << manifest;
    // An execution level would switch off the file virtualisation that lets a
    // standard user's CONTROL.INI writes land.
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos) << manifest;
}

TEST_F(Resources, IconsLoadAtTheirSizes) {
    ASSERT_NE(module_, nullptr);
    struct Wanted {
        int id, size;
    };
    for (const Wanted& wanted : {Wanted{IDI_GYREL, 32}, Wanted{IDI_GYREL, 16},
                                 Wanted{IDI_PINWHEEL, 32}}) {
        HANDLE icon = LoadImageA(module_, MAKEINTRESOURCEA(wanted.id), IMAGE_ICON, wanted.size,
                                 wanted.size, 0);
        ASSERT_NE(icon, nullptr) << "icon " << wanted.id;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
        BITMAP colour{};
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, wanted.size) << "icon " << wanted.id;
        EXPECT_EQ(colour.bmHeight, wanted.size) << "icon " << wanted.id;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(static_cast<HICON>(icon));
    }
    // Icon 1's directory holds its own 16 by 16 image, not only a scaled one.
    HRSRC group = FindResourceA(module_, MAKEINTRESOURCEA(IDI_GYREL), MAKEINTRESOURCEA(14));
    ASSERT_NE(group, nullptr);
    const auto* directory = static_cast<const uint8_t*>(LockResource(LoadResource(module_, group)));
    int count = directory[4] | directory[5] << 8;
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = directory + 6 + 14 * i;
        sizes.push_back(entry[0]);
        EXPECT_EQ(entry[6] | entry[7] << 8, 4) << "bits per pixel";
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

}  // namespace

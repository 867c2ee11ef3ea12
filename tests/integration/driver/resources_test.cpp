// The module's resources as the platform reads them from the built module:
// both page templates control by control, the monitor bitmap decoded by the
// platform itself, and the icons.
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
    std::string className;  // as the template names it; compared ignoring case
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
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
        if (found == nullptr) throw std::runtime_error("no dialog " + std::to_string(id));
        HGLOBAL loaded = LoadResource(module_, found);
        const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
        return TemplateReader(data, SizeofResource(module_, found)).Read();
    }

    static void ExpectPage(const Template& page, const char* caption,
                           const std::vector<Control>& expected) {
        EXPECT_EQ(page.style, 0x90C80044u);
        EXPECT_EQ(page.exStyle, 0u);
        EXPECT_EQ(page.x, 0);
        EXPECT_EQ(page.y, 0);
        EXPECT_EQ(page.cx, 252);
        EXPECT_EQ(page.cy, 218);
        EXPECT_EQ(page.menu, "");
        EXPECT_EQ(page.className, "");
        EXPECT_EQ(page.caption, caption);
        EXPECT_EQ(page.pointSize, 8);
        EXPECT_EQ(page.face, "MS Sans Serif");
        ASSERT_EQ(page.controls.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const Control& a = page.controls[i];
            const Control& e = expected[i];
            SCOPED_TRACE("control " + std::to_string(i) + ", ID " + std::to_string(e.id));
            EXPECT_EQ(a.id, e.id);
            EXPECT_EQ(lstrcmpiA(a.className.c_str(), e.className.c_str()), 0) << a.className;
            EXPECT_EQ(a.text, e.text);
            EXPECT_EQ(a.style, e.style);
            EXPECT_EQ(a.x, e.x);
            EXPECT_EQ(a.y, e.y);
            EXPECT_EQ(a.cx, e.cx);
            EXPECT_EQ(a.cy, e.cy);
        }
    }

    static HMODULE module_;
};
HMODULE Resources::module_ = nullptr;

constexpr DWORD kGroup = 0x50020007, kLabel = 0x50000000, kEdit = 0x50810000,
                kSpin = 0x50000012, kCentred = 0x50000001, kIcon = 0x50000003;

TEST_F(Resources, OptionsPageTemplateIsAsDesigned) {
    ASSERT_NE(module_, nullptr);
    ExpectPage(LoadTemplate(IDD_OPTIONS), "Options",
               {
                   {101, "Button", "Co&lour", kGroup, 8, 118, 124, 44},
                   {102, "Button", "Spiral &velocity", kGroup, 140, 118, 104, 44},
                   {119, "Button", "&Miscellaneous", kGroup, 8, 164, 236, 32},
                   {103, "Static", "&Maximum intensity", kLabel, 20, 130, 60, 8},
                   {130, "Edit", "", kEdit, 88, 128, 24, 12},
                   {140, "msctls_updown32", "", kSpin, 112, 128, 9, 12},
                   {108, "Static", "Change &period", kLabel, 20, 146, 48, 8},
                   {131, "Edit", "", kEdit, 88, 144, 24, 12},
                   {141, "msctls_updown32", "", kSpin, 112, 144, 9, 12},
                   {109, "Static", "&Angular", kLabel, 152, 130, 28, 8},
                   {132, "Edit", "", kEdit, 200, 128, 24, 12},
                   {142, "msctls_updown32", "", kSpin, 224, 128, 9, 12},
                   {110, "Static", "&Centripetal", kLabel, 152, 146, 40, 8},
                   {133, "Edit", "", kEdit, 200, 144, 24, 12},
                   {143, "msctls_updown32", "", kSpin, 224, 144, 9, 12},
                   {104, "Static", "&Randomness", kLabel, 20, 178, 48, 8},
                   {134, "Edit", "", kEdit, 88, 176, 24, 12},
                   {144, "msctls_updown32", "", kSpin, 112, 176, 9, 12},
                   {106, "Static", "R&esolution", kLabel, 152, 178, 36, 8},
                   {135, "Edit", "", kEdit, 200, 176, 24, 12},
                   {145, "msctls_updown32", "", kSpin, 224, 176, 9, 12},
                   {120, "Button", "&Disable active configuration", 0x50010002, 12, 200, 100,
                    13},
                   {105, "Button", "&Default", 0x50010300, 192, 200, 50, 14},
               });
}

TEST_F(Resources, EachSettingsRowHasItsFieldFollowedByItsUpDown) {
    // An up-down control takes the control just before it as its buddy.
    Template page = LoadTemplate(IDD_OPTIONS);
    for (int row = 0; row < kSettingsRows; ++row) {
        size_t field = 0;
        while (field < page.controls.size() && page.controls[field].id != IDC_FIRST_EDIT + row) {
            ++field;
        }
        ASSERT_LT(field + 1, page.controls.size()) << "row " << row;
        EXPECT_EQ(page.controls[field + 1].id, IDC_FIRST_UPDOWN + row) << "row " << row;
    }
}

TEST_F(Resources, AboutPageTemplateIsAsDesigned) {
    ASSERT_NE(module_, nullptr);
    ExpectPage(LoadTemplate(IDD_ABOUT), "About",
               {
                   {101, "Static", "#1", kIcon, 8, 168, 21, 20},
                   {102, "Static", "Built with MinGW-w64 GCC", kLabel, 36, 198, 100, 8},
                   {103, "Static", "\"Gyrel\" Screen Saver", kCentred, 74, 120, 104, 8},
                   {104, "Static", "Version 1.00", kCentred, 96, 131, 60, 8},
                   {105, "Static", "Gyrel authors", kCentred, 96, 142, 60, 8},
                   {106, "Static", "2026", kCentred, 96, 154, 60, 8},
                   {107, "Static", "#3", kIcon, 8, 192, 21, 20},
                   {108, "Static", "You may copy, change and share Gyrel under the MIT licence.",
                    kLabel, 36, 170, 132, 16},
               });
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

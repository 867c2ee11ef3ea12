// Settings that stay saved when CONTROL.INI cannot be written: the sheet then
// keeps them in HKEY_CURRENT_USER\Control Panel\Screen Saver.Gyrel, every run
// reads them from there, and when neither place takes them the sheet says so
// and stays open.
//
// Tests run as root, so neither file modes nor the read-only attribute stop a
// write to CONTROL.INI; Linux's immutable attribute does. The driver sets it
// with chattr, which Wine starts as it starts any program; the registry
// section is refused to writers with a security descriptor that only lets
// everyone read it.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

#include "effect/control_messages.h"
#include "effect/profile.h"
#include "effect/settings.h"
#include "framework/saver_main.h"
#include "resources/resource_ids.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

using driver::SheetSession;
using driver::StoreValue;

constexpr char kRegistrySection[] = "Control Panel\\Screen Saver.Gyrel";
const char* const kKeys[] = {"MaxBkColour", "ColChangePer", "DeltaTheta",  "Gradient",
                             "Randomness",  "Resolution",   "ActiveConfig"};
constexpr DWORD kLimitMs = 10000;

// Whether CONTROL.INI can be opened for writing now.
bool ControlIniWritable() {
    HANDLE file = CreateFileA(driver::ControlIniPath().c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// CONTROL.INI, made immutable for the object's lifetime.
class LockedControlIni {
public:
    LockedControlIni() { locked_ = Chattr("+i") && WaitUntilWritable(false); }
    ~LockedControlIni() { EXPECT_TRUE(Chattr("-i") && WaitUntilWritable(true)); }
    bool Locked() const { return locked_; }

private:
    // Wine gives a Unix program no process handle to wait on: the attribute's
    // effect is waited for instead.
    static bool Chattr(const char* change) {
        using ToUnix = char*(CDECL*)(const WCHAR*);
        auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
        if (toUnix == nullptr) return false;
        std::string windowsPath = driver::ControlIniPath();
        char* unixPath = toUnix(std::wstring(windowsPath.begin(), windowsPath.end()).c_str());
        if (unixPath == nullptr) return false;
        std::string command = std::string("/usr/bin/chattr ") + change + " \"" + unixPath + "\"";
        HeapFree(GetProcessHeap(), 0, unixPath);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started)) {
            return false;
        }
        if (started.hProcess != nullptr) CloseHandle(started.hProcess);
        if (started.hThread != nullptr) CloseHandle(started.hThread);
        return true;
    }
    static bool WaitUntilWritable(bool writable) {
        DWORD start = GetTickCount();
        while (ControlIniWritable() != writable) {
            if (GetTickCount() - start > kLimitMs) return false;
            Sleep(50);
        }
        return true;
    }
    bool locked_ = false;
};

void DeleteRegistrySection() { RegDeleteKeyA(HKEY_CURRENT_USER, kRegistrySection); }

std::string RegistryValue(const char* name) {
    char text[64] = "";
    DWORD size = sizeof text - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRegistrySection, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return "<no section>";
    }
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<missing>";
    return type == REG_SZ ? text : "<not text>";
}

// The registry section, made and left readable only, for the object's lifetime.
class ReadOnlyRegistrySection {
public:
    ReadOnlyRegistrySection() { made_ = SetAccess("D:P(A;;KR;;;WD)"); }
    ~ReadOnlyRegistrySection() {
        EXPECT_TRUE(SetAccess("D:P(A;;KA;;;WD)"));
        DeleteRegistrySection();
    }
    bool Made() const { return made_; }

private:
    static bool SetAccess(const char* descriptorText) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptorText, SDDL_REVISION_1,
                                                                  &descriptor, nullptr)) {
            return false;
        }
        HKEY key = nullptr;
        // The owner may always change the descriptor.
        LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, kRegistrySection, 0, nullptr, 0, WRITE_DAC,
                                      nullptr, &key, nullptr);
        if (result == ERROR_SUCCESS) {
            result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
            RegCloseKey(key);
        }
        LocalFree(descriptor);
        return result == ERROR_SUCCESS;
    }
    bool made_ = false;
};

class SavedSettings : public ::testing::Test {
protected:
    void SetUp() override {
        driver::ClearSection();
        DeleteRegistrySection();
    }
    void TearDown() override {
        if (sheet_.Process().Running()) {
            EXPECT_TRUE(sheet_.CloseWith(driver::kCancelButton));
        }
        driver::ClearSection();
        DeleteRegistrySection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", kLimitMs));
    }

    // The seven keys as one place holds them.
    static std::vector<std::string> Values(std::string (*read)(const char*)) {
        std::vector<std::string> values;
        for (const char* key : kKeys) values.push_back(read(key));
        return values;
    }
    static HWND Field(SheetSession& sheet, int row) { return sheet.Control(0, IDC_FIRST_EDIT + row); }

    SheetSession sheet_;
};

using Texts = std::vector<std::string>;

TEST_F(SavedSettings, ALockedControlIniSendsThemToTheRegistryWhichThenComesFirst) {
    StoreValue("Gradient", "3");
    StoreValue("Resolution", "20");
    const std::string file = driver::ReadWholeFile(driver::ControlIniPath());
    {
        LockedControlIni locked;
        ASSERT_TRUE(locked.Locked());
        ASSERT_TRUE(sheet_.Open("/c"));
        sheet_.TypeInto(Field(sheet_, ROW_GRADIENT), "17");
        ASSERT_TRUE(sheet_.CloseWith(driver::kOkButton));
        EXPECT_EQ(sheet_.Process().ExitCode(), 0u);
    }
    EXPECT_EQ(Values(RegistryValue), (Texts{"225", "5", "94", "17", "0", "20", "1"}));
    EXPECT_EQ(driver::ReadWholeFile(driver::ControlIniPath()), file);

    // A new run takes the registry's Gradient over the file's; with the file
    // writable again, its save lands in both places.
    SheetSession next;
    ASSERT_TRUE(next.Open("/c"));
    EXPECT_EQ(driver::WindowText(Field(next, ROW_GRADIENT)), "17");
    next.TypeInto(Field(next, ROW_GRADIENT), "12");
    ASSERT_TRUE(next.CloseWith(driver::kOkButton));
    EXPECT_EQ(next.Process().ExitCode(), 0u);
    const Texts saved = {"225", "5", "94", "12", "0", "20", "1"};
    EXPECT_EQ(Values(driver::StoredValue), saved);
    EXPECT_EQ(Values(RegistryValue), saved);
}

TEST_F(SavedSettings, RegistryValuesAreReadAsTextOnly) {
    const std::string longText = std::string(3000, '0') + "17";
    const struct {
        const char* key;
        DWORD type;
        std::string bytes;
        int32_t dialogValue;
    } cases[] = {
        {"Gradient", REG_DWORD, std::string("\x11\0\0\0", 4), 8},  // the default
        {"Resolution", REG_BINARY, "20", 10},
        {"Randomness", REG_SZ, "3", 3},  // stored without its terminator
        {"DeltaTheta", REG_SZ, longText, 17},
    };
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRegistrySection, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& c : cases) {
        RegSetValueExA(key, c.key, 0, c.type, reinterpret_cast<const BYTE*>(c.bytes.data()),
                       static_cast<DWORD>(c.bytes.size()));
    }
    RegCloseKey(key);
    SetProfileSection(driver::kSection);
    LoadSpiralSettings();
    for (const auto& c : cases) {
        int row = 0;
        while (std::string(kSettingDefinitions[row].key) != c.key) ++row;
        EXPECT_EQ(DialogValueOf(row), c.dialogValue) << c.key;
    }
}

TEST_F(SavedSettings, WhenNeitherPlaceTakesThemTheSheetSaysSoAndStaysOpen) {
    StoreValue("Gradient", "3");
    const std::string file = driver::ReadWholeFile(driver::ControlIniPath());
    ReadOnlyRegistrySection readOnly;
    ASSERT_TRUE(readOnly.Made());
    LockedControlIni locked;
    ASSERT_TRUE(locked.Locked());
    ASSERT_TRUE(sheet_.Open("/c"));
    const HWND sheet = sheet_.Sheet();
    sheet_.TypeInto(Field(sheet_, ROW_GRADIENT), "17");
    HWND preview = GetWindow(GetWindow(GetWindow(sheet_.Page(0), GW_CHILD), GW_CHILD), GW_CHILD);
    ASSERT_NE(preview, nullptr);

    for (int button : {driver::kOkButton, driver::kApplyButton}) {
        SCOPED_TRACE(button == driver::kOkButton ? "OK" : "Apply");
        // Posted: the box holds the click's sender until it is closed.
        PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(sheet_.SheetButton(button)));
        HWND box = nullptr;
        for (DWORD start = GetTickCount(); box == nullptr && GetTickCount() - start < kLimitMs;) {
            driver::PumpMessagesFor(50);
            box = driver::FindTitledWindow(sheet_.Process().Id(), "Gyrel");
        }
        ASSERT_NE(box, nullptr) << "no message box";
        EXPECT_EQ(GetWindow(box, GW_OWNER), sheet);
        EXPECT_NE(driver::StaticTexts(box).find("could not be saved"), std::string::npos)
            << driver::StaticTexts(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        for (DWORD start = GetTickCount(); IsWindow(box) && GetTickCount() - start < kLimitMs;) {
            driver::PumpMessagesFor(50);
        }
        ASSERT_FALSE(IsWindow(box));
        driver::PumpMessagesFor(200);
        EXPECT_TRUE(IsWindowVisible(sheet));
        EXPECT_TRUE(sheet_.Process().Running());
        EXPECT_EQ(driver::WindowText(Field(sheet_, ROW_GRADIENT)), "17");
        // The page's preview draws again: its suspend count is back to 0.
        EXPECT_EQ(SendMessageA(preview, WM_SPIRAL_SUSPEND, 0, 0), 0);
        SendMessageA(preview, WM_SPIRAL_RESUME, 0, 0);
    }
    ASSERT_TRUE(sheet_.CloseWith(driver::kCancelButton));
    EXPECT_EQ(sheet_.Process().ExitCode(), 0u);
    EXPECT_EQ(driver::ReadWholeFile(driver::ControlIniPath()), file);
    EXPECT_EQ(Values(RegistryValue), Texts(7, "<missing>"));
}

}  // namespace

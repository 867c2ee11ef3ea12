#include "tests/integration/driver/sheet_util.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstring>

namespace driver {

namespace {

constexpr char kIni[] = "CONTROL.INI";
constexpr DWORD kSheetOpenLimitMs = 60000;
constexpr DWORD kModuleExitLimitMs = 30000;

std::string FileNameOf(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

// Every message to the sheet waits at most this long: a sheet that hangs
// fails the test instead of holding it.
constexpr UINT kSendLimitMs = 30000;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendLimitMs, &result);
    return static_cast<LRESULT>(result);
}

HWND TabControlOf(HWND sheet) {
    return FindWindowExA(sheet, nullptr, WC_TABCONTROLA, nullptr);
}

}  // namespace

void ClearSection() { WritePrivateProfileStringA(kSection, nullptr, nullptr, kIni); }

void StoreValue(const char* key, const char* value) {
    WritePrivateProfileStringA(kSection, key, value, kIni);
}

std::string StoredValue(const char* key) {
    char text[64];
    GetPrivateProfileStringA(kSection, key, "<missing>", text, sizeof text, kIni);
    return text;
}

bool WaitUntilNoProcessNamed(const std::string& fileName, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!ProcessesNamed(fileName).empty()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpMessagesFor(50);
    }
    return true;
}

HWND FindTitledWindow(DWORD processId, const char* title) {
    return FirstProcessWindow(processId, [title](HWND window) {
        char text[128] = "";
        GetWindowTextA(window, text, sizeof text);
        return std::strcmp(text, title) == 0;
    });
}

std::string WindowText(HWND window) {
    char text[512] = "";
    // WM_GETTEXT, not GetWindowText: for another process's window the latter
    // gives the caption stored at creation, not an edit field's contents.
    Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

DWORD WindowProcess(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

std::string CopyModuleTo(const std::string& directory, const std::string& fileName) {
    // Make each level of the directory in turn.
    for (size_t end = directory.find('\\', 3); ; end = directory.find('\\', end + 1)) {
        CreateDirectoryA(directory.substr(0, end).c_str(), nullptr);
        if (end == std::string::npos) break;
    }
    std::string path = directory + "\\" + fileName;
    if (!CopyFileA(ModulePath().c_str(), path.c_str(), FALSE)) return std::string();
    return path;
}

SheetSession::~SheetSession() {
    if (process_.Handle() == nullptr) return;
    if (process_.Running() && IsWindow(sheet_)) CloseWith(kCancelButton);
    if (process_.Running()) process_.Kill();
    // A preview left behind by a failed test must not disturb the next one.
    if (WaitUntilNoProcessNamed(moduleName_, 10000)) return;
    for (DWORD id : ProcessesNamed(moduleName_)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        if (process != nullptr) {
            TerminateProcess(process, 0xDEAD);
            CloseHandle(process);
        }
    }
}

bool SheetSession::Open(const std::string& arguments, const std::string& module,
                        const std::function<void()>& beforeRun) {
    std::string path = module.empty() ? ModulePath() : module;
    moduleName_ = FileNameOf(path);
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    if (!process_.StartCommand(path.c_str(), commandLine, beforeRun ? CREATE_SUSPENDED : 0)) {
        return false;
    }
    if (beforeRun) {
        beforeRun();
        process_.ResumeMainThread();
    }
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kSheetOpenLimitMs) {
        sheet_ = FindTitledWindow(process_.Id(), kSheetTitle);
        if (sheet_ != nullptr && IsWindowVisible(sheet_)) {
            process_.WaitForIdle(10000);
            return true;
        }
        if (!process_.Running()) return false;
        PumpMessagesFor(50);
    }
    return false;
}

HWND SheetSession::Page(int index) const {
    return reinterpret_cast<HWND>(Send(sheet_, PSM_INDEXTOHWND, index, 0));
}

HWND SheetSession::Control(int pageIndex, int id) const { return GetDlgItem(Page(pageIndex), id); }

HWND SheetSession::Screen(int pageIndex) const {
    // The monitor is the page's first child, the screen the monitor's.
    return GetWindow(GetWindow(Page(pageIndex), GW_CHILD), GW_CHILD);
}

HWND SheetSession::Preview(int pageIndex) const { return GetWindow(Screen(pageIndex), GW_CHILD); }

void SheetSession::SelectPage(int index) {
    // What a click on the tab does: the tab control asks the sheet whether
    // the page may be left, then tells it the new selection.
    Send(TabControlOf(sheet_), TCM_SETCURFOCUS, index, 0);
}

void SheetSession::TypeInto(HWND edit, const std::string& text) {
    Send(edit, EM_SETSEL, 0, -1);
    if (text.empty()) {
        Send(edit, WM_CHAR, VK_BACK, 1);
        return;
    }
    for (char c : text) Send(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

bool SheetSession::PasteInto(HWND edit, const std::string& text) {
    HWND owner = CreateWindowExA(0, "Static", "clipboard owner", 0, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    bool placed = false;
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (memory != nullptr) {
            std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_TEXT, memory) != nullptr;
        }
        CloseClipboard();
    }
    if (placed) {
        Send(edit, EM_SETSEL, 0, -1);
        Send(edit, WM_PASTE, 0, 0);
    }
    DestroyWindow(owner);
    return placed;
}

void SheetSession::Click(HWND button) {
    Send(button, BM_CLICK, 0, 0);
    // A real click arrives as posted input, after which the sheet's modal
    // loop looks whether it has ended; a sent click does not wake that loop,
    // so give it a posted message to look at.
    PostMessageA(GetAncestor(button, GA_ROOT), WM_NULL, 0, 0);
}

bool SheetSession::CloseWith(int buttonId) {
    Click(SheetButton(buttonId));
    return WaitForModuleExit();
}

bool SheetSession::CloseWithCloseBox() {
    PostMessageA(sheet_, WM_SYSCOMMAND, SC_CLOSE, 0);
    return WaitForModuleExit();
}

bool SheetSession::WaitForModuleExit() { return process_.WaitForExit(kModuleExitLimitMs); }

}  // namespace driver

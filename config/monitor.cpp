#include "config/monitor.h"

#include <string>
#include <vector>

#include "config/preview_command.h"
#include "effect/control_messages.h"
#include "resources/resource_ids.h"

HBITMAP g_monitorBitmap = nullptr;

namespace {

// One half of bitmap 3010: the picture at x 0, its mask at x 184.
constexpr int kMonitorWidth = 184;
constexpr int kMonitorHeight = 170;
// The picture's screen, right and bottom excluded.
constexpr RECT kScreenArea = {16, 17, 168, 129};

// The static class's own procedure, read from the first monitor created;
// both pages' monitors hand it everything but their painting.
WNDPROC g_staticProc = nullptr;

// The startup record is 68 bytes on 32-bit Windows; its pointers and handles
// are wider on 64-bit, and its size member always names the record in use.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "32-bit startup record");

// How long a new preview may take to become ready. The page waits for it on
// the sheet's thread, so that it shows only once its preview is frozen as
// the sheet wants it; a start normally takes well under a second, and one
// that never ends must not keep the sheet waiting for good.
constexpr DWORD kPreviewReadyLimitMs = 20000;
constexpr DWORD kPreviewReadySliceMs = 50;

// The program's full file name, however long it is.
std::string OwnModulePath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return std::string(path.data(), length);
        if (path.size() >= 65536) return std::string();  // no file name is this long
        path.resize(path.size() * 2);
    }
}

// Waits until the preview first waits for input (its window exists then and
// its worker runs) or ends; false when it is still starting after the time
// limit. The preview's window sends messages to its parent, the screen window
// on this thread, while it is created; those are answered between slices of
// the wait so that the two processes never wait for each other.
bool WaitUntilPreviewReady(HANDLE process) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kPreviewReadyLimitMs) {
        DWORD result = WaitForInputIdle(process, kPreviewReadySliceMs);
        if (result != WAIT_TIMEOUT) return true;  // ready, ended, or not a waitable process
        if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return true;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return false;
}

// The screen window keeps the line to the preview process it started.
PreviewLink* LinkOf(HWND screen) {
    return reinterpret_cast<PreviewLink*>(GetWindowLongPtrA(screen, GWLP_USERDATA));
}

}  // namespace

std::string ScreenClassName(const char* saverName) {
    return std::string(saverName) + "PrevScrWindow";
}

void LoadMonitorBitmap(HINSTANCE instance) {
    g_monitorBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_MONITOR));
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, g_monitorBitmap);
    // The screen shows the desktop colour until a preview draws there. Only
    // the picture's screen changes; the mask half is left alone.
    FillRect(memory, &kScreenArea, GetSysColorBrush(COLOR_BACKGROUND));
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void RegisterScreenClass(const MonitorSetup& setup) {
    WNDCLASSA windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = ScreenWindowProc;
    windowClass.hInstance = setup.instance;
    // Never erased and never painted by us: the monitor's picture shows
    // through until the preview draws over it.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = setup.screenClass.c_str();
    RegisterClassA(&windowClass);
}

void CreateMonitor(HWND page, const MonitorSetup& setup) {
    LONG baseUnits = GetDialogBaseUnits();
    RECT client{};
    GetClientRect(page, &client);
    // Centred, four vertical units of the system font below the page's top.
    int x = (client.right - kMonitorWidth) / 2;
    int y = (HIWORD(baseUnits) * 4) / 8;

    HWND monitor =
        CreateWindowExA(0, "STATIC", "Monitor", WS_CHILD, x, y, kMonitorWidth, kMonitorHeight, page,
                        reinterpret_cast<HMENU>(IDC_MONITOR), setup.instance, nullptr);
    auto staticProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(monitor, GWLP_WNDPROC));
    if (staticProc != nullptr) {
        g_staticProc = staticProc;
        SetWindowLongPtrA(monitor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MonitorProc));
    }

    // Its creation starts the preview and returns when the preview is frozen.
    CreateWindowExA(0, setup.screenClass.c_str(), "Screen", WS_CHILD | WS_VISIBLE, kScreenArea.left,
                    kScreenArea.top, kScreenArea.right - kScreenArea.left,
                    kScreenArea.bottom - kScreenArea.top, monitor,
                    reinterpret_cast<HMENU>(IDC_SCREEN), setup.instance, nullptr);

    // Created after the template's controls it would be the page's last
    // child; first in the stacking order is where the page looks for it.
    SetWindowPos(monitor, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    ShowWindow(monitor, SW_SHOW);
    UpdateWindow(monitor);
}

PreviewLink* FindPagePreview(HWND page) {
    // The monitor is the page's first child, and the screen window the
    // monitor's.
    HWND monitor = GetWindow(page, GW_CHILD);
    if (monitor == nullptr || GetDlgCtrlID(monitor) != IDC_MONITOR) return nullptr;
    HWND screen = GetWindow(monitor, GW_CHILD);
    if (screen == nullptr || GetDlgCtrlID(screen) != IDC_SCREEN) return nullptr;
    return LinkOf(screen);
}

LRESULT CALLBACK ScreenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(OpenPreviewLink(window)));
            StartPreviewProcess(window);
            return 0;  // the window is made whether or not the preview started
        case WM_DESTROY:
            // The preview's window goes with this one, and destroying it waits
            // for the preview's answer: the link ends a preview that does not
            // give one at once.
            ClosePreviewLink(LinkOf(window));
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void StartPreviewProcess(HWND screen) {
    PreviewLink* link = LinkOf(screen);
    if (link == nullptr) return;  // a preview the sheet could not reach
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;

    std::string modulePath = OwnModulePath();
    if (modulePath.empty()) return;
    std::string commandLine =
        PreviewCommandLine(modulePath, static_cast<long long>(reinterpret_cast<intptr_t>(screen)));

    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return;  // no preview: the screen keeps the desktop colour
    }
    CloseHandle(process.hThread);
    if (!WaitUntilPreviewReady(process.hProcess)) {
        // Still starting after all this time: a preview that appears later
        // would miss both suspends below. The sheet started it; it ends it.
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, kPreviewEndLimitMs);
        CloseHandle(process.hProcess);
        return;
    }
    AttachPreviewProcess(link, process.hProcess);

    // The preview's worker has been drawing since it started; freeze it twice
    // so that showing the page releases it only as far as ActiveConfig asks.
    for (int i = 0; i < 2; ++i) SendToPreview(link, WM_SPIRAL_SUSPEND);
}

LRESULT CALLBACK MonitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PaintMonitor(window);
        return 0;
    }
    return CallWindowProcA(g_staticProc, window, message, wParam, lParam);
}

void PaintMonitor(HWND monitor) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(monitor, &paint);

    HBITMAP composition = CreateCompatibleBitmap(dc, kMonitorWidth, kMonitorHeight);
    HDC compose = CreateCompatibleDC(dc);
    HGDIOBJ previousComposition = SelectObject(compose, composition);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ previousSource = SelectObject(source, g_monitorBitmap);

    // Composed off screen and copied once, so it never flickers: what lies
    // beneath the control (the page's background, since the control erases
    // nothing), blackened where the monitor stands, then the picture, which
    // is black wherever the mask lets the background through.
    BitBlt(compose, 0, 0, kMonitorWidth, kMonitorHeight, dc, 0, 0, SRCCOPY);
    BitBlt(compose, 0, 0, kMonitorWidth, kMonitorHeight, source, kMonitorWidth, 0, SRCAND);
    BitBlt(compose, 0, 0, kMonitorWidth, kMonitorHeight, source, 0, 0, SRCPAINT);
    BitBlt(dc, 0, 0, kMonitorWidth, kMonitorHeight, compose, 0, 0, SRCCOPY);

    SelectObject(source, previousSource);
    SelectObject(compose, previousComposition);
    DeleteDC(source);
    DeleteDC(compose);
    DeleteObject(composition);
    EndPaint(monitor, &paint);
}

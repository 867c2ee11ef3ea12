#include "config/options_sheet.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "effect/field_value.h"
#include "config/monitor.h"
#include "effect/control_messages.h"
#include "effect/settings.h"
#include "framework/saver_main.h"
#include "resources/resource_ids.h"

bool OptionsPageReady = false;

namespace {

// The sheet and its pages use the first-generation record layouts; their
// size members name that layout: 40 bytes on 32-bit Windows, 72 on 64-bit,
// where the handles and pointers inside are twice as wide. The sheet steps
// through the page array by each record's size, so the array is of exactly
// that layout.
constexpr DWORD kPageRecordSize = sizeof(PROPSHEETPAGEA_V1);
constexpr DWORD kHeaderSize =
    offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(PFNPROPSHEETCALLBACK);
static_assert(offsetof(PROPSHEETPAGEA_V1, pcRefParent) + sizeof(UINT*) == kPageRecordSize,
              "the first-generation page record ends with its reference count pointer");
static_assert(sizeof(void*) != 4 || (kPageRecordSize == 40 && kHeaderSize == 40),
              "first-generation records are 40 bytes on 32-bit Windows");

constexpr int kPageCount = 2;

// A field's text is read up to nine characters, far more than any number in
// range needs.
constexpr int kFieldTextBuffer = 10;

HWND CreateOwnerWindow() {
    // Never shown; it owns the sheet and ends with the process.
    return CreateWindowExA(0, "Static", "MainWnd", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                           g_instance, nullptr);
}

void MarkChanged(HWND page) {
    SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

// Puts a row's current value into its up-down control, which writes it into
// the field; the field's update notification then applies it. The control
// takes 16-bit positions; a value from CONTROL.INI can be any number, and is
// shown as the nearest bound, as the control itself would for a small one.
void ShowRowValue(HWND page, int row) {
    const SettingsRow& entry = SettingsTable[row];
    int32_t position = entry.current;
    if (position > entry.max) position = entry.max;
    if (position < entry.min) position = entry.min;
    SendDlgItemMessageA(page, IDC_FIRST_UPDOWN + row, UDM_SETPOS, 0,
                        MAKELPARAM(static_cast<WORD>(position), 0));
}

void InitOptionsPage(HWND page) {
    OptionsPageReady = true;
    for (int row = 0; row < kSettingsRows; ++row) SettingsTable[row].current = DialogValueOf(row);
    for (int row = 0; row < kSettingsRows; ++row) {
        const SettingsRow& entry = SettingsTable[row];
        SendDlgItemMessageA(page, IDC_FIRST_UPDOWN + row, UDM_SETRANGE, 0,
                            MAKELPARAM(static_cast<WORD>(entry.max), static_cast<WORD>(entry.min)));
        ShowRowValue(page, row);
    }
    SendDlgItemMessageA(page, IDC_DISABLE_ACTIVE, BM_SETCHECK,
                        g_spiralSettings.ActiveConfig == 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    CreateMonitor(page);
    // Applying the rows above marked the page changed, so Apply is enabled
    // as soon as the sheet opens. Some sheets reset their Apply button once
    // the first page exists and so lose that mark; posting it again keeps
    // Apply enabled there too.
    PostMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

void OnFieldUpdate(HWND page, int row) {
    int id = IDC_FIRST_EDIT + row;
    char text[kFieldTextBuffer] = "";
    GetWindowTextA(GetDlgItem(page, id), text, sizeof text);
    const SettingsRow& entry = SettingsTable[row];
    FieldDecision decision = DecideFieldValue(text, entry.min, entry.max);
    switch (decision.action) {
        case FieldAction::Ignore:
            break;
        case FieldAction::Correct: {
            // Writing the bound raises a new update for this field, which
            // applies it; selecting it lets the next keystroke replace it.
            char bound[12];
            std::snprintf(bound, sizeof bound, "%d", static_cast<int>(decision.value));
            SetDlgItemTextA(page, id, bound);
            SendDlgItemMessageA(page, id, EM_SETSEL, 0, -1);
            break;
        }
        case FieldAction::Apply:
            ApplySetting(page, row, decision.value);
            break;
    }
}

void OnDefault(HWND page) {
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplySetting(page, row, kSettingDefinitions[row].defaultValue);
    }
    for (int row = 0; row < kSettingsRows; ++row) ShowRowValue(page, row);
}

void OnDisableActive(HWND page) {
    bool wasChecked =
        SendDlgItemMessageA(page, IDC_DISABLE_ACTIVE, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendDlgItemMessageA(page, IDC_DISABLE_ACTIVE, BM_SETCHECK,
                        wasChecked ? BST_UNCHECKED : BST_CHECKED, 0);
    g_spiralSettings.ActiveConfig = wasChecked ? 1 : 0;
    SendToPreview(FindPagePreview(page), wasChecked ? WM_SPIRAL_RESUME : WM_SPIRAL_SUSPEND);
    MarkChanged(page);
}

void OnOptionsCommand(HWND page, int id, int code) {
    if (id >= IDC_FIRST_EDIT && id < IDC_FIRST_EDIT + kSettingsRows) {
        if (code == EN_UPDATE && OptionsPageReady) OnFieldUpdate(page, id - IDC_FIRST_EDIT);
    } else if (id == IDC_DEFAULT) {
        OnDefault(page);
    } else if (id == IDC_DISABLE_ACTIVE) {
        if (code == BN_CLICKED) OnDisableActive(page);
    }
}

// Settings that could be kept in neither CONTROL.INI nor the registry would
// be lost without a word if the sheet closed: say so, and keep the sheet and
// its values open so that the user can try again or cancel.
void KeepSheetOpenAfterAFailedSave(HWND page) {
    HWND sheet = GetParent(page);
    MessageBoxA(sheet,
                "The settings could not be saved: neither CONTROL.INI nor the registry "
                "accepted them.\n\nThey stay on the sheet; try again, or choose Cancel to "
                "leave them.",
                g_saverCallbacks.saverName, MB_OK | MB_ICONERROR);
    // The sheet froze the shown page's preview before asking for the save,
    // and only releases it again after a save that succeeded.
    HWND shown = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (shown != nullptr) SyncPagePreview(shown, PSN_SETACTIVE);
    SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_INVALID_NOCHANGEPAGE);
}

// The notification code of a WM_NOTIFY, or 0 without a header.
UINT NotifyCode(LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    return header != nullptr ? header->code : 0;
}

}  // namespace

int ShowOptionsSheet() {
    InitCommonControls();  // the up-down class of the Options page
    // Started by the display panel ("/c:<window>"), the sheet is modal to the
    // panel: owned by it, and the panel is disabled while the sheet is up.
    // Otherwise a hidden window of our own owns it.
    HWND owner = g_saverCallbacks.parentWindow != nullptr ? g_saverCallbacks.parentWindow
                                                           : CreateOwnerWindow();

    PROPSHEETPAGEA_V1 pages[kPageCount] = {};
    for (int index = 0; index < kPageCount; ++index) {
        PROPSHEETPAGEA_V1& page = pages[index];
        page.dwSize = kPageRecordSize;
        page.dwFlags = PSP_DEFAULT;  // the tab shows the template's caption
        page.hInstance = g_instance;
        page.pszTemplate = MAKEINTRESOURCEA(IDD_OPTIONS + index);
        page.pfnDlgProc = index == 0 ? OptionsPageProc : AboutPageProc;
        page.lParam = 0;
    }

    std::string caption = std::string("Options for ") + g_saverCallbacks.saverName;
    PROPSHEETHEADERA header{};
    header.dwSize = kHeaderSize;
    header.dwFlags = PSH_PROPSHEETPAGE;  // OK, Cancel and Apply; no Help
    header.hwndParent = owner;
    header.pszCaption = caption.c_str();
    header.nPages = kPageCount;
    header.nStartPage = 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);

    OptionsPageReady = false;
    LoadMonitorBitmap();
    RegisterScreenClass();
    PropertySheetA(&header);

    DeleteObject(MonitorBitmap);
    MonitorBitmap = nullptr;
    return 0;
}

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            InitOptionsPage(page);
            return TRUE;
        case WM_NOTIFY:
            switch (NotifyCode(lParam)) {
                case PSN_APPLY:
                    // Left unanswered (0): the sheet completes, OK closes it.
                    if (SaveSpiralSettings()) return FALSE;
                    KeepSheetOpenAfterAFailedSave(page);
                    return TRUE;
                case PSN_SETACTIVE:
                case PSN_KILLACTIVE:
                    SyncPagePreview(page, NotifyCode(lParam));
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_COMMAND:
            OnOptionsCommand(page, LOWORD(wParam), HIWORD(wParam));
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AboutPageProc(HWND page, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            CreateMonitor(page);
            return TRUE;
        case WM_NOTIFY:
            switch (NotifyCode(lParam)) {
                case PSN_SETACTIVE:
                case PSN_KILLACTIVE:
                    SyncPagePreview(page, NotifyCode(lParam));
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void ApplySetting(HWND page, int row, int32_t value) {
    if (row < 0 || row >= kSettingsRows) return;
    SettingsTable[row].current = value;
    MarkChanged(page);
    SendToPreview(FindPagePreview(page), WM_SPIRAL_SETPARAM, static_cast<WPARAM>(row),
                  static_cast<LPARAM>(value));
    ApplyDialogValue(row, value);
}

void SyncPagePreview(HWND page, UINT code) {
    // The hold threshold: a shown page's preview ends one below it, a hidden
    // page's at least one above it.
    const int32_t hold = g_spiralSettings.ActiveConfig != 0 ? 1 : 2;
    if (code == PSN_SETACTIVE || code == PSN_KILLACTIVE) {
        SyncPreview(FindPagePreview(page), hold, code == PSN_SETACTIVE);
    }
}

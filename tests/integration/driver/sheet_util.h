// Playing the user of the Options sheet: the module runs in configure mode in
// a process of its own, and the driver finds the sheet, its pages and
// controls, types, pastes and clicks, all across the process boundary.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/integration/driver/driver_util.h"

namespace driver {

constexpr char kSheetTitle[] = "Options for Gyrel";
constexpr char kSection[] = "Screen Saver.Gyrel";

// The sheet's own buttons.
constexpr int kOkButton = IDOK;
constexpr int kCancelButton = IDCANCEL;
constexpr int kApplyButton = 0x3021;

// Removes the spiral's section from CONTROL.INI.
void ClearSection();
// Writes one key of the spiral's section.
void StoreValue(const char* key, const char* value);
// One key of the section as stored, or "<missing>".
std::string StoredValue(const char* key);

// Waits (pumping) until no process has that name; false on timeout.
bool WaitUntilNoProcessNamed(const std::string& fileName, DWORD timeoutMs);

// The top-level window of a process with the given title, or null.
HWND FindTitledWindow(DWORD processId, const char* title);

// The text of a window of another process, asked of the window itself.
std::string WindowText(HWND window);

// The id of the process a window belongs to, or 0.
DWORD WindowProcess(HWND window);

// Copies the module under test to directory\fileName, making the directory
// (and its parents) first; the copy's full path, or "" on failure.
std::string CopyModuleTo(const std::string& directory, const std::string& fileName);

class SheetSession {
public:
    SheetSession() = default;
    SheetSession(const SheetSession&) = delete;
    SheetSession& operator=(const SheetSession&) = delete;
    // Closes the sheet with Cancel if it is still open, and makes sure the
    // module and its previews are gone.
    ~SheetSession();

    // Starts the module (Gyrel.scr beside the driver, or `module` when
    // given) with the arguments and waits until its sheet is up and idle.
    // `beforeRun`, when given, is called while the new process is still
    // suspended, before any of its code has run.
    bool Open(const std::string& arguments, const std::string& module = std::string(),
              const std::function<void()>& beforeRun = nullptr);

    HWND Sheet() const { return sheet_; }
    const std::string& ModuleName() const { return moduleName_; }
    ModuleProcess& Process() { return process_; }
    // The page window of a page index, or null while it does not exist.
    HWND Page(int index) const;
    HWND Control(int pageIndex, int id) const;
    // The screen window in a page's monitor, and the preview window in it;
    // null while there is none.
    HWND Screen(int pageIndex) const;
    HWND Preview(int pageIndex) const;
    HWND SheetButton(int id) const { return GetDlgItem(sheet_, id); }

    // Selects a page as a click on its tab would.
    void SelectPage(int index);
    // Replaces a field's whole text by typing the characters one by one.
    void TypeInto(HWND edit, const std::string& text);
    // Replaces a field's whole text by pasting it from the clipboard.
    bool PasteInto(HWND edit, const std::string& text);
    void Click(HWND button);

    // Presses OK or Cancel, or the close box, and waits for the module to
    // end; false when it does not end in time.
    bool CloseWith(int buttonId);
    bool CloseWithCloseBox();

private:
    bool WaitForModuleExit();

    ModuleProcess process_;
    std::string moduleName_;  // file name of the running module
    HWND sheet_ = nullptr;
};

}  // namespace driver

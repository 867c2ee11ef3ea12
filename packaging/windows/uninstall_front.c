/* The removal program's front: "<folder>\uninstall.exe", which the entry in
 * the list of installed programs names. Windows and deployment tools run
 * the entry's string as written and take the end of that process as the end
 * of the removal, with its exit code.
 *
 * The removal itself (uninstall.nsi, carried here as a resource) holds its
 * own file open while it runs, so it could not remove the folder it ran
 * from. This front holds nothing but its mapping: it writes the removal
 * program into a folder of its own under the temporary folder, runs it there
 * with this program's parameters and folder, waits for it, deletes it, and
 * exits with its exit code. The removal program moves this front's file out
 * of the way, as a running program can be renamed though not deleted.
 */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include "uninstall_front.h"

#define EXIT_FAILED 2
#define LONG_PATH 32768

static wchar_t own_path[LONG_PATH];
static wchar_t work_folder[LONG_PATH];
static wchar_t work_program[LONG_PATH];
static wchar_t command_line[LONG_PATH];

/* A parameter on its own, as NSIS programs read them: "/S" in " /S /X". */
static int has_switch(const wchar_t *args, const wchar_t *name)
{
    size_t length = wcslen(name);
    for (const wchar_t *at = args; (at = wcsstr(at, name)) != NULL; at += length) {
        int starts = at == args || at[-1] == L' ';
        int ends = at[length] == L'\0' || at[length] == L' ';
        if (starts && ends)
            return 1;
    }
    return 0;
}

static int fail(const wchar_t *args, const wchar_t *what)
{
    if (!has_switch(args, L"/S")) {
        wchar_t text[512];
        _snwprintf(text, 512, L"Gyrel could not be removed: %ls (error %lu). Nothing was removed.", what,
                   GetLastError());
        text[511] = L'\0';
        MessageBoxW(NULL, text, L"Remove Gyrel", MB_OK | MB_ICONSTOP);
    }
    return EXIT_FAILED;
}

/* Writes the removal program into a new folder of its own under the
 * temporary folder. */
static int write_removal_program(void)
{
    HRSRC found = FindResourceW(NULL, MAKEINTRESOURCEW(REMOVAL_PROGRAM), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(NULL, found) : NULL;
    const void *bytes = loaded ? LockResource(loaded) : NULL;
    DWORD size = found ? SizeofResource(NULL, found) : 0;
    if (bytes == NULL || size == 0)
        return 0;

    wchar_t temp[MAX_PATH + 1];
    DWORD temp_length = GetTempPathW(MAX_PATH + 1, temp);
    if (temp_length == 0 || temp_length > MAX_PATH)
        return 0;
    for (unsigned attempt = 0;; ++attempt) {
        if (attempt == 100)
            return 0;
        _snwprintf(work_folder, LONG_PATH, L"%lsGyrel-removal-%lu-%u", temp, GetCurrentProcessId(), attempt);
        if (CreateDirectoryW(work_folder, NULL))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return 0;
    }
    _snwprintf(work_program, LONG_PATH, L"%ls\\uninstall.exe", work_folder);
    HANDLE file = CreateFileW(work_program, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        RemoveDirectoryW(work_folder);
        return 0;
    }
    DWORD written = 0;
    BOOL complete = WriteFile(file, bytes, size, &written, NULL) && written == size;
    complete = CloseHandle(file) && complete;
    if (!complete) {
        DeleteFileW(work_program);
        RemoveDirectoryW(work_folder);
    }
    return complete;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR args, int show)
{
    (void)instance;
    (void)previous;
    (void)show;
    /* "_?=FOLDER", which earlier versions' uninstaller took, comes last;
     * this folder is passed as /D= instead. */
    wchar_t *old_folder = wcsstr(args, L"_?=");
    if (old_folder != NULL && (old_folder == args || old_folder[-1] == L' '))
        *old_folder = L'\0';
    size_t args_length = wcslen(args);
    while (args_length > 0 && args[args_length - 1] == L' ')
        args[--args_length] = L'\0';

    DWORD own_length = GetModuleFileNameW(NULL, own_path, LONG_PATH);
    wchar_t *last_separator = wcsrchr(own_path, L'\\');
    if (own_length == 0 || own_length >= LONG_PATH || last_separator == NULL)
        return fail(args, L"its own folder is unknown");
    *last_separator = L'\0';

    if (!write_removal_program())
        return fail(args, L"the temporary folder cannot be written");
    int length = _snwprintf(command_line, LONG_PATH, L"\"%ls\" %ls%ls/D=%ls", work_program, args,
                            args_length > 0 ? L" " : L"", own_path);
    DWORD code = EXIT_FAILED;
    STARTUPINFOW startup = {.cb = sizeof startup};
    PROCESS_INFORMATION process;
    if (length < 0 || length >= LONG_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        fail(args, L"its command line is too long");
    } else if (!CreateProcessW(work_program, command_line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fail(args, L"the removal program did not start");
    } else {
        CloseHandle(process.hThread);
        WaitForSingleObject(process.hProcess, INFINITE);
        if (!GetExitCodeProcess(process.hProcess, &code))
            code = EXIT_FAILED;
        CloseHandle(process.hProcess);
    }
    DeleteFileW(work_program);
    RemoveDirectoryW(work_folder);
    return (int)code;
}

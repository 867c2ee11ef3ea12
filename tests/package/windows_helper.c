/* A Windows program for the setup tests, built with MinGW by installer_test.py.
 *
 *   windows_helper hold FILE...   maps each file as an executable image, as
 *       Windows holds a running module (opened with read and delete
 *       sharing, mapped, the handle closed: it can be renamed, not deleted)
 *   windows_helper lock FILE...   opens each without delete sharing, as a
 *       program reading it may: it can be neither renamed nor deleted
 *       Both print "held" and keep the files until their input ends.
 *   windows_helper drive STEP... -- PROGRAM ARG...   runs the program,
 *       plays the steps on the dialogs it (or a program it starts) shows,
 *       waits for it and exits with its exit code. Steps:
 *         press:ID     press the button of that control ID once it is
 *                      enabled, and wait for the dialogs to change
 *         checked:TEXT print "TEXT=1" or "TEXT=0", the state of the button
 *                      labelled TEXT, once it is shown
 *       Every wait ends after a minute, with exit code 99.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define WAIT_MS 60000
#define STEP_MS 50
#define TIMED_OUT 99

static int hold(int count, char **files, int image)
{
    for (int i = 0; i < count; ++i) {
        DWORD sharing = image ? FILE_SHARE_READ | FILE_SHARE_DELETE : FILE_SHARE_READ;
        HANDLE file = CreateFileA(files[i], GENERIC_READ | GENERIC_EXECUTE, sharing, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "cannot open %s: %lu\n", files[i], GetLastError());
            return 1;
        }
        if (image) {
            HANDLE mapping = CreateFileMappingA(file, NULL, PAGE_EXECUTE_READ | SEC_IMAGE, 0, 0, NULL);
            if (mapping == NULL || MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) == NULL) {
                fprintf(stderr, "cannot map %s: %lu\n", files[i], GetLastError());
                return 1;
            }
            CloseHandle(file);
        }
    }
    printf("held\n");
    fflush(stdout);
    char buffer[64];
    DWORD read;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, NULL) && read > 0) {
    }
    return 0;
}

/* The dialogs shown now, other than this program's: top-level "#32770"
 * windows and the page each shows. */
struct scene {
    HWND windows[16];
    HWND pages[16];
    int count;
};

static BOOL CALLBACK find_page(HWND child, LPARAM out)
{
    char name[16];
    if (GetClassNameA(child, name, sizeof name) && strcmp(name, "#32770") == 0 && IsWindowVisible(child)) {
        *(HWND *)out = child;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK add_dialog(HWND window, LPARAM out)
{
    struct scene *scene = (struct scene *)out;
    DWORD process;
    char name[16];
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        strcmp(name, "#32770") == 0 && scene->count < 16) {
        scene->windows[scene->count] = window;
        scene->pages[scene->count] = NULL;
        EnumChildWindows(window, find_page, (LPARAM)&scene->pages[scene->count]);
        scene->count++;
    }
    return TRUE;
}

static struct scene look(void)
{
    struct scene scene = {.count = 0};
    EnumWindows(add_dialog, (LPARAM)&scene);
    return scene;
}

struct search {
    int id;
    const char *text;
    HWND found;
};

static BOOL CALLBACK match_control(HWND control, LPARAM out)
{
    struct search *search = (struct search *)out;
    if (!IsWindowVisible(control))
        return TRUE;
    if (search->text != NULL) {
        char text[256];
        if (GetWindowTextA(control, text, sizeof text) && strcmp(text, search->text) == 0) {
            search->found = control;
            return FALSE;
        }
    } else if (GetDlgCtrlID(control) == search->id && IsWindowEnabled(control)) {
        search->found = control;
        return FALSE;
    }
    return TRUE;
}

static HWND find_control(int id, const char *text)
{
    struct scene scene = look();
    struct search search = {id, text, NULL};
    for (int i = 0; i < scene.count && search.found == NULL; ++i)
        EnumChildWindows(scene.windows[i], match_control, (LPARAM)&search);
    return search.found;
}

/* Waits, a short step at a time, for a control to appear; NULL after a minute. */
static HWND wait_for_control(int id, const char *text, HANDLE process)
{
    for (DWORD waited = 0; waited < WAIT_MS; waited += STEP_MS) {
        HWND control = find_control(id, text);
        if (control != NULL)
            return control;
        if (WaitForSingleObject(process, STEP_MS) == WAIT_OBJECT_0)
            return NULL;
    }
    return NULL;
}

static int same_scene(const struct scene *a, const struct scene *b)
{
    return a->count == b->count && memcmp(a->windows, b->windows, sizeof(HWND) * a->count) == 0 &&
           memcmp(a->pages, b->pages, sizeof(HWND) * a->count) == 0;
}

static int drive(int step_count, char **steps, char *command_line)
{
    STARTUPINFOA startup = {.cb = sizeof startup};
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, command_line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "cannot start %s: %lu\n", command_line, GetLastError());
        return 1;
    }
    for (int i = 0; i < step_count; ++i) {
        if (strncmp(steps[i], "press:", 6) == 0) {
            HWND button = wait_for_control(atoi(steps[i] + 6), NULL, process.hProcess);
            if (button == NULL) {
                fprintf(stderr, "%s: no such button\n", steps[i]);
                return TIMED_OUT;
            }
            struct scene before = look();
            PostMessageA(button, BM_CLICK, 0, 0);
            DWORD waited = 0;
            for (struct scene now = look(); same_scene(&before, &now); now = look()) {
                if (WaitForSingleObject(process.hProcess, STEP_MS) == WAIT_OBJECT_0)
                    break;
                if ((waited += STEP_MS) >= WAIT_MS) {
                    fprintf(stderr, "%s: nothing changed\n", steps[i]);
                    return TIMED_OUT;
                }
            }
        } else if (strncmp(steps[i], "checked:", 8) == 0) {
            HWND button = wait_for_control(0, steps[i] + 8, process.hProcess);
            if (button == NULL) {
                fprintf(stderr, "%s: no such button\n", steps[i]);
                return TIMED_OUT;
            }
            printf("%s=%d\n", steps[i] + 8, SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED);
            fflush(stdout);
        } else {
            fprintf(stderr, "unknown step %s\n", steps[i]);
            return 1;
        }
    }
    if (WaitForSingleObject(process.hProcess, WAIT_MS) != WAIT_OBJECT_0) {
        fprintf(stderr, "the program did not end\n");
        return TIMED_OUT;
    }
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    return (int)code;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "hold") == 0)
        return hold(argc - 2, argv + 2, 1);
    if (argc >= 3 && strcmp(argv[1], "lock") == 0)
        return hold(argc - 2, argv + 2, 0);
    if (argc >= 4 && strcmp(argv[1], "drive") == 0) {
        /* The program's own command line, as this one got it, after " -- ". */
        char *rest = strstr(GetCommandLineA(), " -- ");
        int steps = 0;
        while (2 + steps < argc && strcmp(argv[2 + steps], "--") != 0)
            ++steps;
        if (rest != NULL && 2 + steps < argc)
            return drive(steps, argv + 2, rest + 4);
    }
    fprintf(stderr, "usage: windows_helper hold|lock FILE... | drive STEP... -- PROGRAM ARG...\n");
    return 2;
}

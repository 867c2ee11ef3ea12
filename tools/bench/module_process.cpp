#include "tools/bench/module_process.h"

#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>

std::string ModuleBesideUs() {
    char path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/") + 1) + "Gyrel.scr";
}

bool StartModule(const std::string& arguments, PROCESS_INFORMATION* info) {
    std::string commandLine = "\"" + ModuleBesideUs() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    *info = PROCESS_INFORMATION{};
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, info)) {
        return true;
    }
    std::printf("could not start %s\n", commandLine.c_str());
    return false;
}

void EndModule(PROCESS_INFORMATION* info, DWORD waitMs) {
    if (WaitForSingleObject(info->hProcess, waitMs) != WAIT_OBJECT_0) {
        TerminateProcess(info->hProcess, 1);
        WaitForSingleObject(info->hProcess, 5000);
    }
    CloseHandle(info->hProcess);
    CloseHandle(info->hThread);
    *info = PROCESS_INFORMATION{};
}

std::vector<std::pair<DWORD, double>> ProcessThreadSeconds(DWORD processId) {
    std::vector<std::pair<DWORD, double>> times;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return times;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
            auto seconds = [](const FILETIME& t) {
                return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
            };
            times.emplace_back(entry.th32ThreadID, seconds(kernel) + seconds(user));
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return times;
}

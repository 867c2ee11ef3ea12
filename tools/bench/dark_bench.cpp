// What the full-screen saver costs while nobody can see it: the real module
// (Gyrel.scr beside this program) runs with the default step budget and
// with none; after a first stretch the benchmark tells it the display is
// off, as the system would, then on again, and prints the draw worker's
// share of a core over each stretch. Prints figures; asserts nothing.
//
//     gyrel-dark-bench.exe [seconds per stretch]
//
// Run it inside the Wine test session (tools/run_dark_bench.sh).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "effect/settings.h"
#include "tools/bench/module_process.h"

namespace {

const GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// Each thread's share of a core over the stretch.
std::vector<std::pair<DWORD, double>> ThreadShares(DWORD processId, double seconds) {
    const auto before = ProcessThreadSeconds(processId);
    const DWORD start = GetTickCount();
    Sleep(static_cast<DWORD>(seconds * 1000));
    const double elapsed = (GetTickCount() - start) / 1000.0;
    std::vector<std::pair<DWORD, double>> shares;
    for (const auto& [id, time] : ProcessThreadSeconds(processId)) {
        for (const auto& [earlierId, earlier] : before) {
            if (earlierId == id) shares.emplace_back(id, (time - earlier) / elapsed);
        }
    }
    return shares;
}

// The draw worker is the busiest thread while the saver draws; its share in
// a later stretch is looked up by its id.
std::pair<DWORD, double> Busiest(const std::vector<std::pair<DWORD, double>>& shares) {
    std::pair<DWORD, double> busiest{0, 0};
    for (const auto& share : shares) {
        if (share.second > busiest.second) busiest = share;
    }
    return busiest;
}
double ShareOf(DWORD thread, const std::vector<std::pair<DWORD, double>>& shares) {
    for (const auto& [id, share] : shares) {
        if (id == thread) return share;
    }
    return 0;
}

// The display's state as the system tells it: the record lives in the
// saver's process.
bool TellDisplay(HANDLE process, HWND window, DWORD state) {
    struct {
        GUID setting;
        DWORD dataLength;
        DWORD state;
    } record{kConsoleDisplayState, sizeof(DWORD), state};
    void* there = VirtualAllocEx(process, nullptr, sizeof record, MEM_COMMIT | MEM_RESERVE,
                                 PAGE_READWRITE);
    if (there == nullptr) return false;
    DWORD_PTR reply = 0;
    const bool told =
        WriteProcessMemory(process, there, &record, sizeof record, nullptr) &&
        SendMessageTimeoutA(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                            reinterpret_cast<LPARAM>(there), SMTO_NORMAL, 10000, &reply);
    VirtualFreeEx(process, there, 0, MEM_RELEASE);
    return told;
}

HWND SaverWindow(DWORD processId) {
    for (int waited = 0; waited < 15000; waited += 50) {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, "GyrelClass", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId) return window;
        }
        Sleep(50);
    }
    return nullptr;
}

// One run of the saver with the budget given.
bool Measure(int32_t stepsPerSecond, double seconds) {
    const std::string budget = std::to_string(stepsPerSecond);
    WritePrivateProfileStringA("Screen Saver.Gyrel", "StepsPerSecond", budget.c_str(),
                               "control.ini");
    PROCESS_INFORMATION info{};
    if (!StartModule("/s", &info)) return false;
    WaitForInputIdle(info.hProcess, 15000);
    HWND window = SaverWindow(info.dwProcessId);
    bool measured = window != nullptr;
    if (measured) {
        Sleep(500);  // let it settle
        const auto [worker, before] = Busiest(ThreadShares(info.dwProcessId, seconds));
        // Each stretch starts half a second after the notice: the kernel
        // books processor time in ticks, a little after the time it counts.
        measured = TellDisplay(info.hProcess, window, 0);
        Sleep(500);
        const double during = ShareOf(worker, ThreadShares(info.dwProcessId, seconds));
        measured = TellDisplay(info.hProcess, window, 1) && measured;
        Sleep(500);
        const double after = ShareOf(worker, ThreadShares(info.dwProcessId, seconds));
        std::printf("StepsPerSecond %-6d draw worker, share of a core over %.0f s: "
                    "display on %5.1f%%   off %5.2f%%   on again %5.1f%%\n",
                    stepsPerSecond, seconds, before * 100, during * 100, after * 100);
        PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
        std::printf("StepsPerSecond %-6d the saver's window never appeared\n", stepsPerSecond);
    }
    EndModule(&info, 10000);
    return measured;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (!(seconds > 0)) seconds = 10.0;
    bool all = true;
    for (int32_t budget : {kStepsPerSecondDefault, 0}) all = Measure(budget, seconds) && all;
    WritePrivateProfileStringA("Screen Saver.Gyrel", "StepsPerSecond", nullptr, "control.ini");
    return all ? 0 : 1;
}

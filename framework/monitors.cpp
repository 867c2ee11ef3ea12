#include "framework/monitors.h"

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    auto* areas = reinterpret_cast<std::vector<RECT>*>(context);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info)) return TRUE;
    const RECT& r = info.rcMonitor;
    if (r.right <= r.left || r.bottom <= r.top) return TRUE;
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
        areas->insert(areas->begin(), r);
    } else {
        areas->push_back(r);
    }
    return TRUE;
}

}  // namespace

std::vector<RECT> MonitorAreas() {
    std::vector<RECT> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&areas));
    if (areas.empty()) {
        areas.push_back(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    }
    return areas;
}

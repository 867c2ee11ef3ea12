#include "framework/saver_main.h"

SaverCallbacks g_saverCallbacks;

namespace {
constexpr char kSectionPrefix[] = "Screen Saver.";
}

std::string SaverSectionName(const char* saverName) {
    return kSectionPrefix + std::string(saverName);
}

void SetSaverCallbacks(const SaverDescription& description, HINSTANCE instance,
                       HINSTANCE previousInstance, HWND parentWindow) {
    SaverCallbacks& saver = g_saverCallbacks;
    saver.sectionName = SaverSectionName(description.saverName);
    saver.saverName = saver.sectionName.c_str() + (sizeof kSectionPrefix - 1);
    saver.saverWindowProc = description.saverWindowProc;
    saver.previewWindowProc = description.previewWindowProc;
    saver.drawCallback = description.drawCallback;
    saver.drawRateCallback = description.drawRateCallback;
    saver.configureCallback = description.configureCallback;
    saver.instance = instance;
    saver.previousInstance = previousInstance;
    saver.parentWindow = parentWindow;
}

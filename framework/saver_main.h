// The framework's way in: the record of the saver's callbacks and SaverMain.
//
// The framework is generic: it is handed a saver name and callbacks and knows
// nothing of what the saver draws.
#pragma once

#include <windows.h>

#include <string>

#include "framework/command_line.h"

// Draws a bounded amount in the given host window; called on that window's
// worker only.
using DrawCallback = void (*)(HWND window);
using ConfigureCallback = int (*)();
using InitialiseCallback = void (*)();
// How many draw calls a second the worker may make; 0 or less: back to back.
using DrawRateCallback = double (*)();
// Lifts every freeze that the saver itself put on the window's worker; the
// framework calls it when a close is accepted, before it waits for the
// workers to stop.
using WorkerThawCallback = void (*)(HWND window);

struct SaverCallbacks {
    HINSTANCE instance = nullptr;
    HINSTANCE previousInstance = nullptr;  // non-null: the window classes exist
    std::string sectionName;               // "Screen Saver." + saver name
    const char* saverName = "";            // the tail of sectionName
    WNDPROC saverWindowProc = nullptr;
    WNDPROC previewWindowProc = nullptr;
    DrawCallback drawCallback = nullptr;
    DrawRateCallback drawRateCallback = nullptr;  // null: back to back
    WorkerThawCallback workerThawCallback = nullptr;
    ConfigureCallback configureCallback = nullptr;
    HWND parentWindow = nullptr;           // the window after "p" or "a"
    CommandArguments arguments;
};

// One record per module, filled by SaverMain.
extern SaverCallbacks g_saverCallbacks;

// The module instance, recorded by the GUI entry point for window classes
// and resources.
extern HINSTANCE g_instance;

// Loads the settings, parses the command line and runs the mode. The result
// is the process exit code: -1 for an unrecognised command line.
int SaverMain(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
              const char* saverName, WNDPROC saverWindowProc, WNDPROC previewWindowProc,
              DrawCallback drawCallback, ConfigureCallback configureCallback,
              InitialiseCallback initialiseCallback,
              DrawRateCallback drawRateCallback = nullptr,
              WorkerThawCallback workerThawCallback = nullptr);

// The real module (Gyrel.scr beside the benchmark) as a process of its own,
// for the benchmarks that run under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

std::string ModuleBesideUs();

// Starts "<module> <arguments>"; false, having said so, when it cannot.
bool StartModule(const std::string& arguments, PROCESS_INFORMATION* info);

// Waits up to waitMs for the process to end, ends it by force if it has not,
// and closes its handles.
void EndModule(PROCESS_INFORMATION* info, DWORD waitMs);

// Processor time of each thread of a process so far, in seconds, by thread id.
std::vector<std::pair<DWORD, double>> ProcessThreadSeconds(DWORD processId);

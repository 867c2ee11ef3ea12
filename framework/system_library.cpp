#include "framework/system_library.h"

#include <string>

HMODULE LoadSystemLibrary(const char* name) {
    char directory[MAX_PATH];
    UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return nullptr;
    std::string path(directory, length);
    path += '\\';
    path += name;
    return LoadLibraryA(path.c_str());
}

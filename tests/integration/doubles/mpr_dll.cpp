// A stand-in for the platform's MPR.DLL. PwdChangePasswordA records its
// arguments (ChangeCalls, ChangeProvider, ChangeWindow, ChangeReserved) and
// returns ChangeResult (default 0; ERROR_CANCELLED plays a user who cancels).
// Built a second time without the entry, to play a library that lacks it.
#include <windows.h>

#include "tests/integration/doubles/double_control.h"

#ifdef DOUBLE_WITH_ENTRY
extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND window,
                                                                 DWORD reserved1, DWORD reserved2) {
    using namespace double_control;
    WriteNumber("ChangeCalls", ReadNumber("ChangeCalls", 0) + 1);
    WriteText("ChangeProvider", provider != nullptr ? provider : "<null>");
    WriteNumber("ChangeWindow", static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)));
    WriteNumber("ChangeReserved", reserved1 | reserved2);
    return ReadNumber("ChangeResult", 0);
}
#else
extern "C" __declspec(dllexport) DWORD WINAPI WNetGetLastErrorA(LPDWORD, LPSTR, DWORD, LPSTR, DWORD) {
    return 0;
}
#endif

// A stand-in for the platform's imaging library that takes its time: asked
// for its factory, it waits FactoryDelayMs (4000 unless set) and then has
// none, as a decoder held up by a file on a share that no longer answers.
#include <windows.h>

#include "tests/integration/doubles/double_control.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** object) {
    *object = nullptr;
    Sleep(double_control::ReadNumber("FactoryDelayMs", 4000));
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

#include "framework/host.h"

// The full-screen host closes like the preview until its dismissal rules
// (input, activation, password) are in place.
LRESULT CALLBACK SaverHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PreviewHostProc(window, message, wParam, lParam);
}

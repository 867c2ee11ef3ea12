// The effect window's control messages, accepted from any process: the
// configuration dialog drives its preview processes with them.
#pragma once

#include <cstdint>

// wParam: low 16 bits the settings row 0..5 or PARAM_NEW_TARGET; lParam: low
// 16 bits the dialog value, zero-extended. Replies 0.
constexpr unsigned WM_SPIRAL_SETPARAM = 0x0400 + 0;
// Freezes the draw worker; replies its suspend count before the call.
constexpr unsigned WM_SPIRAL_SUSPEND = 0x0400 + 1;
// Thaws the draw worker; replies its suspend count before the call.
constexpr unsigned WM_SPIRAL_RESUME = 0x0400 + 2;

// Parameter index of WM_SPIRAL_SETPARAM that starts a glide to a new target.
constexpr uint32_t PARAM_NEW_TARGET = 100;

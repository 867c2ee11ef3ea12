#include "framework/saver_main.h"

SaverCallbacks g_saverCallbacks;
HINSTANCE g_instance = nullptr;

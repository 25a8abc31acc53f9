// The application's main window, to which worker and device threads post
// and on which the call timers run. Set once by whoever creates that window
// (the application, or a test acting as it) before any call starts.
#pragma once

#include "platform/win32/types.h"

void VM_SetMainWindow(HWND window);
HWND VM_GetMainWindow();

#include "callflow/main_window.h"

#include <atomic>

namespace {
// Read by worker threads while the main thread may set it.
std::atomic<HWND> g_hMainWindow{nullptr};
}  // namespace

void VM_SetMainWindow(HWND window) { g_hMainWindow = window; }
HWND VM_GetMainWindow() { return g_hMainWindow; }

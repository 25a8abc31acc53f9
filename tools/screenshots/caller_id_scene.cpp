// The caller-ID window of a call that is being recorded.
#include <memory>

#include <QDialog>

#include "app/dialogs/caller_id_window.h"
#include "callflow/status_texts.h"
#include "scene_registry.h"

VM_SCREENSHOT_SCENE(caller_id_window) {
    // The window object outlives the widget the tool deletes; it then holds
    // nothing.
    static std::unique_ptr<VM_CCallerIDWindow> window;
    window = std::make_unique<VM_CCallerIDWindow>(nullptr, nullptr, nullptr);
    window->VM_SetCaller("Ann Example", "(555) 010-7788");
    window->VM_ShowStatusIndex(VM_STATUS_RECORDING);
    return window->VM_GetDialog();
}

// The About box and the tips dialog.
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/tips_dialog.h"
#include "scene_registry.h"

VM_SCREENSHOT_SCENE(about_dialog) { return new VM_CAboutDialog(); }

VM_SCREENSHOT_SCENE(tips_dialog) { return new VM_CTipsDialog(VM_SceneConfig()); }

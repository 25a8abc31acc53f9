// "Setup Preferences" with the first-run settings.
#include "app/dialogs/preferences_dialog.h"
#include "scene_registry.h"

VM_SCREENSHOT_SCENE(preferences_dialog) { return new VM_CPreferencesDialog(VM_SceneConfig()); }

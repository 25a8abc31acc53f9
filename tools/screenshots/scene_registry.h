// Scenes for vocerra-screenshots. A scene builds one top-level widget with
// sample data and returns it unshown; the program shows it, renders it to
// "<name>-light.png" and "<name>-dark.png" and deletes it. A scene file
// registers itself:
//
//   VM_SCREENSHOT_SCENE(caller_id_window) {
//       auto* dialog = new QDialog;
//       ...
//       return dialog;
//   }
//
// Scene names are file names: letters, digits, '-' and '_'.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QWidget;
class VM_CAppCfg;

using VM_SceneFactory = std::function<QWidget*()>;

struct VM_SScene {
    std::string name;
    VM_SceneFactory make;
};

bool VM_RegisterScene(const char* name, VM_SceneFactory make);
// In name order.
std::vector<VM_SScene> VM_RegisteredScenes();

// A configuration on a program folder of its own (removed at exit), shared
// by the scenes of one run, with the first-run settings.
VM_CAppCfg& VM_SceneConfig();
// "<scene program folder>/<relative>", for sample files a scene writes.
std::string VM_ScenePath(const char* relative);

#define VM_SCREENSHOT_SCENE(name)                                                          \
    static QWidget* VM_Scene_##name();                                                     \
    [[maybe_unused]] static const bool vm_scene_registered_##name =                        \
        VM_RegisterScene(#name, &VM_Scene_##name);                                         \
    static QWidget* VM_Scene_##name()

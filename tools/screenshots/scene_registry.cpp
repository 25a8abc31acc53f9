#include "scene_registry.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include <QTemporaryDir>

#include "store/app_config.h"

namespace {

std::vector<VM_SScene>& Scenes() {
    static std::vector<VM_SScene> scenes;
    return scenes;
}

QTemporaryDir& SceneFolder() {
    static QTemporaryDir folder;
    return folder;
}

}  // namespace

bool VM_RegisterScene(const char* name, VM_SceneFactory make) {
    Scenes().push_back({name, std::move(make)});
    return true;
}

std::vector<VM_SScene> VM_RegisteredScenes() {
    std::vector<VM_SScene> scenes = Scenes();
    std::sort(scenes.begin(), scenes.end(), [](const VM_SScene& a, const VM_SScene& b) { return a.name < b.name; });
    return scenes;
}

VM_CAppCfg& VM_SceneConfig() {
    static std::unique_ptr<VM_CAppCfg> cfg =
        std::make_unique<VM_CAppCfg>(SceneFolder().path().toLocal8Bit().constData());
    return *cfg;
}

std::string VM_ScenePath(const char* relative) {
    return SceneFolder().path().toStdString() + "/" + relative;
}

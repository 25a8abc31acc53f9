// The start-up progress window with its first line.
#include <QWidget>

#include "app/frame/progress_window.h"
#include "scene_registry.h"

VM_SCREENSHOT_SCENE(startup_progress) {
    auto* progress = new VM_CProgressWindow(QStringLiteral("Vocerra 3.5"));
    progress->VM_ShowLine("Checking modems, please wait a few minutes...");
    progress->hide();
    return progress;
}

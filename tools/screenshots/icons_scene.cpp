// The program's own pictures side by side: the application icon, the two
// tray icons and the nine toolbar images, at the sizes the desktop uses.
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "app/frame/app_icons.h"
#include "scene_registry.h"

namespace {

void AddRow(QVBoxLayout* rows, const QList<QIcon>& icons, int size) {
    auto* row = new QHBoxLayout;
    for (const QIcon& icon : icons) {
        auto* label = new QLabel;
        label->setPixmap(icon.pixmap(size, size));
        row->addWidget(label);
    }
    row->addStretch();
    rows->addLayout(row);
}

}  // namespace

VM_SCREENSHOT_SCENE(icons) {
    auto* sheet = new QWidget;
    auto* rows = new QVBoxLayout(sheet);
    AddRow(rows, {VM_AppIcon(), VM_LoadAppIcon(VM_ICON_TRAY), VM_LoadAppIcon(VM_ICON_TRAY_ALERT)}, 64);
    AddRow(rows, {VM_AppIcon(), VM_LoadAppIcon(VM_ICON_TRAY), VM_LoadAppIcon(VM_ICON_TRAY_ALERT)}, 16);
    QList<QIcon> toolbar;
    for (int image = 0; image <= static_cast<int>(VM_EToolbarImage::kAbout); ++image)
        toolbar.append(VM_OwnToolbarIcon(static_cast<VM_EToolbarImage>(image)));
    AddRow(rows, toolbar, 32);
    AddRow(rows, toolbar, 16);
    return sheet;
}

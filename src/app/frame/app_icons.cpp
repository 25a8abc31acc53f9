#include "app/frame/app_icons.h"


// The resources live in a static library: nothing would pull them into the
// program unless they are registered by hand once.
static void VM_InitIconResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace {

struct ToolbarImage {
    VM_EToolbarImage image;
    int command;
    const char* themeName;
    const char* file;
};

constexpr ToolbarImage kToolbarImages[] = {
    {VM_EToolbarImage::kAdd, 40067, "contact-new", ":/icons/add.svg"},
    {VM_EToolbarImage::kOpen, 40005, "document-open", ":/icons/open.svg"},
    {VM_EToolbarImage::kSaveAs, 40004, "document-save-as", ":/icons/save-as.svg"},
    {VM_EToolbarImage::kMove, 40016, "go-jump", ":/icons/move.svg"},
    {VM_EToolbarImage::kDelete, 40018, "edit-delete", ":/icons/delete.svg"},
    {VM_EToolbarImage::kFind, 40056, "edit-find", ":/icons/find.svg"},
    {VM_EToolbarImage::kAnswer, 40055, "call-start", ":/icons/answer.svg"},
    {VM_EToolbarImage::kHelp, 40045, "help-contents", ":/icons/help.svg"},
    {VM_EToolbarImage::kAbout, 40048, "help-about", ":/icons/about.svg"},
};

const ToolbarImage& Find(VM_EToolbarImage image) {
    for (const ToolbarImage& entry : kToolbarImages)
        if (entry.image == image) return entry;
    return kToolbarImages[0];
}

QIcon Own(const char* file) {
    VM_InitIconResources();
    return QIcon(QString::fromLatin1(file));
}

QIcon ThemedOrOwn(const char* themeName, const char* file) {
    QIcon own = Own(file);
    return QIcon::fromTheme(QString::fromLatin1(themeName), own);
}

}  // namespace

QIcon VM_AppIcon() { return ThemedOrOwn("vocerra", ":/icons/vocerra.svg"); }

QIcon VM_LoadAppIcon(int resourceId) {
    // Our own pictures only: the theme has no resting/alert pair that
    // tells the two apart while animating.
    if (resourceId == VM_ICON_TRAY) return Own(":/icons/140.svg");
    if (resourceId == VM_ICON_TRAY_ALERT) return Own(":/icons/141.svg");
    return {};
}

QIcon VM_ToolbarIcon(VM_EToolbarImage image) {
    const ToolbarImage& entry = Find(image);
    return ThemedOrOwn(entry.themeName, entry.file);
}

QIcon VM_OwnToolbarIcon(VM_EToolbarImage image) { return Own(Find(image).file); }

QIcon VM_CommandIcon(int command) {
    for (const ToolbarImage& entry : kToolbarImages)
        if (entry.command == command) return VM_ToolbarIcon(entry.image);
    return {};
}

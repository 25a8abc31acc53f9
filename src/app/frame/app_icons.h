// The program's pictures: the application icon, the two tray icons (140,
// the resting one, and 141, its visible variant for the new-message
// animation) and the nine toolbar images. The desktop's icon theme is asked
// first under the freedesktop names; our own drawings fill in what the
// theme lacks, so every icon exists on any desktop.
#pragma once

#include <QIcon>

constexpr int VM_ICON_TRAY = 140;
constexpr int VM_ICON_TRAY_ALERT = 141;

enum class VM_EToolbarImage { kAdd, kOpen, kSaveAs, kMove, kDelete, kFind, kAnswer, kHelp, kAbout };

QIcon VM_AppIcon();
// An icon by its resource number: 140 and 141 the tray pair (also under
// ":/icons/140.svg" and ":/icons/141.svg"); a null icon for any other.
QIcon VM_LoadAppIcon(int resourceId);
QIcon VM_ToolbarIcon(VM_EToolbarImage image);
// The toolbar image of a command number (40067 Add, 40005 Open, 40004 Save
// As, 40016 Move, 40018 Delete, 40056 Find, 40055 Answer, 40045 Help, 40048
// About); a null icon for a command without one.
QIcon VM_CommandIcon(int command);
// Our own drawing only, leaving the theme out (for the screenshots, and
// where a picture must look the same everywhere).
QIcon VM_OwnToolbarIcon(VM_EToolbarImage image);

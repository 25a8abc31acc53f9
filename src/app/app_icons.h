// The program's icons by their resource numbers (140 and 141 are the tray
// icon's two pictures): the drawings compiled in under ":/icons/<number>.svg",
// or the style's stand-in while a number has no drawing.
#pragma once

class QIcon;

QIcon VM_LoadAppIcon(int resourceId);

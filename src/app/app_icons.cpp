#include "app/app_icons.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStyle>

QIcon VM_LoadAppIcon(int resourceId) {
    const QString path = QStringLiteral(":/icons/%1.svg").arg(resourceId);
    if (QFile::exists(path)) return QIcon(path);
    // The second tray picture must differ from the first, or the icon
    // would not blink.
    const QStyle::StandardPixmap standIn =
        resourceId == 141 ? QStyle::SP_MessageBoxInformation : QStyle::SP_ComputerIcon;
    return QApplication::style()->standardIcon(standIn);
}

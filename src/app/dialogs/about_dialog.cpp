#include "app/dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/dialogs/record_dialogs.h"
#include "shell/version.h"

// The program's name, not the configured caption: that one carries a number
// of its own, which beside the version would read as a second version.
VM_CAboutDialog::VM_CAboutDialog(QWidget* parent) : QDialog(parent) {
    const QString title = QStringLiteral("Vocerra");
    setWindowTitle(QStringLiteral("About %1").arg(title));
    setWindowIcon(VM_AppIcon());

    auto* picture = new QLabel(this);
    picture->setPixmap(VM_AppIcon().pixmap(64, 64));
    picture->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(title, this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    name->setFont(big);
    name->setObjectName(QStringLiteral("title"));
    auto* version = new QLabel(QStringLiteral("Version %1").arg(QString::fromLatin1(VM_GetVersion())), this);
    version->setObjectName(QStringLiteral("version"));
    auto* what = new QLabel(QStringLiteral("An answering machine for your computer and voice modem: it answers\n"
                                           "your calls, records messages and tells you who called."),
                            this);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(what);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(texts);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

void VM_ShowAbout(QWidget* parent) {
    VM_CAboutDialog dialog(parent);
    dialog.exec();
}

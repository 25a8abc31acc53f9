// The About box shows the version `vocerra --version` prints and no other
// number that could be taken for one (the configured caption has its own).
#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "app/dialogs/about_dialog.h"
#include "app/qt_test_app.h"
#include "shell/version.h"

namespace {

TEST(AboutDialog, ShowsTheProgramVersionAndNoOther) {
    VM_TestQtApp();
    const VM_CAboutDialog dialog;
    const QRegularExpression number(QStringLiteral("\\d+(\\.\\d+)+"));
    QStringList versions;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        for (const QRegularExpressionMatch& match : number.globalMatch(label->text())) versions << match.captured();
    versions << number.match(dialog.windowTitle()).captured();
    versions.removeAll(QString());
    EXPECT_EQ(QStringList{QString::fromLatin1(VM_GetVersion())}, versions);
}

}  // namespace

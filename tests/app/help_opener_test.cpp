// Opening the manual: the HTML first, then the PDF; the two messages when
// neither opens; the shipped manual copied into the program's Help folder.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "app/dialogs/help_opener.h"
#include "app/qt_test_app.h"
#include "store/app_config.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

void MakeFolder(const std::string& path) { QDir().mkpath(QString::fromStdString(path)); }

class HelpOpener : public ::testing::Test {
protected:
    void SetUp() override { VM_TestQtApp(); }

    // Records the files asked for; opens those whose name is in openable.
    VM_UrlOpener Opener(QStringList openable) {
        return [this, openable](const QUrl& url) {
            asked.append(url.toLocalFile());
            return openable.contains(QFileInfo(url.toLocalFile()).fileName());
        };
    }

    testsupport::TempDir shipped;  // no manual shipped unless a test puts one there
    testsupport::ScopedEnv data{"VOCERRA_DATA", shipped.path().c_str()};
    testsupport::TempDir home;
    QStringList asked;
};

TEST_F(HelpOpener, AHelpFolderThatCannotBeMadeSaysTheManualIsMissing) {
    testsupport::WriteFileBytes(home.file("Help"), "not a folder");
    VM_CAppCfg cfg(home.path().c_str());
    std::optional<QString> message = VM_OpenHelpFile(cfg, Opener({"QvHelp.html", "QvHelp.pdf"}));
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->toStdString(), VM_HELP_NOT_FOUND_TEXT);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(HelpOpener, ManualsThatNoHandlerOpensSayToInstallABrowser) {
    VM_CAppCfg cfg(home.path().c_str());
    MakeFolder(home.file("Help"));
    testsupport::WriteFileBytes(home.file("Help/QvHelp.html"), "<html></html>");
    testsupport::WriteFileBytes(home.file("Help/QvHelp.pdf"), "%PDF-1.4");
    std::optional<QString> message = VM_OpenHelpFile(cfg, Opener({}));
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->toStdString(), VM_HELP_NO_BROWSER_TEXT);
    EXPECT_EQ(asked.size(), 2);
}

TEST_F(HelpOpener, TheHtmlComesFirstAndThePdfWhenTheHtmlDoesNotOpen) {
    VM_CAppCfg cfg(home.path().c_str());
    MakeFolder(home.file("Help"));
    testsupport::WriteFileBytes(home.file("Help/QvHelp.html"), "<html></html>");
    testsupport::WriteFileBytes(home.file("Help/QvHelp.pdf"), "%PDF-1.4");
    EXPECT_FALSE(VM_OpenHelpFile(cfg, Opener({"QvHelp.pdf"})).has_value());
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0].toStdString(), home.file("Help/QvHelp.html"));
    EXPECT_EQ(asked[1].toStdString(), home.file("Help/QvHelp.pdf"));
}

TEST_F(HelpOpener, TheShippedManualIsCopiedIntoTheHelpFolderAndOpenedThere) {
    MakeFolder(shipped.file("Help"));
    testsupport::WriteFileBytes(shipped.file("Help/QvHelp.html"), "<html>manual</html>");
    VM_CAppCfg cfg(home.path().c_str());
    EXPECT_FALSE(VM_OpenHelpFile(cfg, Opener({"QvHelp.html"})).has_value());
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].toStdString(), home.file("Help/QvHelp.html"));
    EXPECT_EQ(testsupport::ReadFileBytes(home.file("Help/QvHelp.html")), "<html>manual</html>");
}

}  // namespace

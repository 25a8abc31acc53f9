// The record detail dialog: OK refuses a missing name or an unusable number
// and leaves the record alone; the facts it shows come from the record and
// its recording on disk; a blocked call gets no player.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "app/dialogs/message_box.h"
#include "app/dialogs/play_record_control.h"
#include "app/qt_test_app.h"
#include "app/dialogs/record_detail_dialog.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "support/temp_dir.h"

namespace {

class RecordDetailDialog : public ::testing::Test {
protected:
    void SetUp() override {
        VM_TestQtApp();
        VM_SetMessageHook([this](const QString& text) { messages.append(text); });
        record.VM_SetAttr(VM_CCallInfo::kAttrName, "Ann Example");
        record.VM_SetAttr(VM_CCallInfo::kAttrNumber, "555-0100");
        record.VM_SetTime(2014, 3, 3, 14, 5, 9);
    }
    void TearDown() override { VM_SetMessageHook(nullptr); }

    std::string Recording(size_t bytes) {
        std::string path = folder.file("Msg0001.Wav");
        testsupport::WriteFileBytes(path, std::string(bytes, '\0'));
        return path;
    }

    testsupport::TempDir folder;
    VM_CAppCfg cfg{folder.path().c_str()};
    VM_CCallInfo record;
    QStringList messages;
};

TEST_F(RecordDetailDialog, OkWithABlankNameOrANumberWithoutDigitsStaysOpenAndChangesNothing) {
    const char* cases[][2] = {{"   ", "555-0100"}, {"Ann", "call me"}, {"Ann", ""}};
    for (const auto& [name, number] : cases) {
        messages.clear();
        VM_CRecordDetailDialog dialog(cfg, record);
        dialog.VM_NameEdit()->setText(QString::fromLatin1(name));
        dialog.VM_NumberEdit()->setText(QString::fromLatin1(number));
        dialog.VM_NotesEdit()->setPlainText(QStringLiteral("call back"));
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << name << "/" << number;
        ASSERT_EQ(messages.size(), 1);
        EXPECT_EQ(messages[0].toStdString(), VM_RECORD_INVALID_TEXT);
        EXPECT_EQ(record.VM_GetAttrText(VM_CCallInfo::kAttrName).value_or(""), "Ann Example");
        EXPECT_FALSE(record.VM_GetAttrText(VM_CCallInfo::kAttrNotes).has_value());
    }
}

TEST_F(RecordDetailDialog, OkStoresTheTrimmedCallerAndTheNotesAndTakesACallerIDWord) {
    VM_CRecordDetailDialog dialog(cfg, record);
    dialog.VM_NameEdit()->setText(QStringLiteral("  Bob Sample "));
    dialog.VM_NumberEdit()->setText(QStringLiteral(" private "));
    dialog.VM_NotesEdit()->setPlainText(QStringLiteral("about the invoice"));
    dialog.accept();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(record.VM_GetAttrText(VM_CCallInfo::kAttrName).value_or(""), "Bob Sample");
    EXPECT_EQ(record.VM_GetAttrText(VM_CCallInfo::kAttrNumber).value_or(""), "private");
    EXPECT_EQ(record.VM_GetAttrText(VM_CCallInfo::kAttrNotes).value_or(""), "about the invoice");
}

TEST_F(RecordDetailDialog, SizeIsThatOfTheRecordingOnDiskAndBytesUpToExactlyOneKilobyte) {
    const struct {
        size_t bytes;
        const char* shown;
    } sizes[] = {{0, "0 Bytes"}, {1024, "1024 Bytes"}, {1025, "1.0 KB"}, {1536 * 1024, "1.5 MB"}};
    for (const auto& size : sizes) {
        record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, Recording(size.bytes).c_str());
        VM_CRecordDetailDialog dialog(cfg, record);
        EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Size:")).toStdString(), size.shown);
        ASSERT_NE(dialog.VM_GetPlayer(), nullptr);
        EXPECT_EQ(dialog.VM_GetPlayer()->VM_GetFile(), folder.file("Msg0001.Wav"));
    }
}

TEST_F(RecordDetailDialog, AMissingRecordingOrABlockedCallShowsNoRecordingAndABlockedOneNoPlayer) {
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, folder.file("gone.wav").c_str());
    {
        VM_CRecordDetailDialog dialog(cfg, record);
        EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Size:")), QStringLiteral("No recording"));
    }
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, Recording(4096).c_str());
    record.VM_AddFlags(VM_CCallInfo::kFlagBlocked);
    VM_CRecordDetailDialog dialog(cfg, record);
    EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Size:")), QStringLiteral("No recording"));
    EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Call Blocked:")), QStringLiteral("Yes"));
    EXPECT_EQ(dialog.VM_GetPlayer(), nullptr);
}

TEST_F(RecordDetailDialog, ShowsTheCallsFactsUnderTheirLabels) {
    record.VM_AddFlags(VM_CCallInfo::kFlagNotify | VM_CCallInfo::kFlagNotifyFailed);
    record.VM_SetMailbox(3);
    VM_CRecordDetailDialog dialog(cfg, record);
    EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Called Time:")), QStringLiteral("2014/03/03  2:05 PM"));
    EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Mailbox #:")), QStringLiteral("3"));
    EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Call Length:")), QStringLiteral("0 second"));
    EXPECT_EQ(dialog.VM_GetShownText(QStringLiteral("Email Notified:")), QStringLiteral("Failed"));
}

}  // namespace

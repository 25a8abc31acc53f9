// The address-book entry dialog's OK: each check keeps the dialog open with
// its message and leaves the entry untouched; a clean form is stored; the
// temporary recording never outlives the dialog.
#include <QCheckBox>
#include <gtest/gtest.h>

#include "app/dialogs/address_entry_dialog.h"
#include "app/dialogs/message_box.h"
#include "app/qt_test_app.h"
#include "store/address_book_fixture.h"

namespace {

class AddressEntryDialog : public storetest::AddressBookFiles {
protected:
    void SetUp() override {
        AddressBookFiles::SetUp();
        VM_TestQtApp();
        VM_SetMessageHook([this](const QString& text) { messages.push_back(text.toStdString()); });
        friends = AddFolder(0, "My Friends");
    }
    void TearDown() override { VM_SetMessageHook(nullptr); }

    // Fills the dialog with the form and presses OK; true when it closed.
    bool Ok(VM_CAddrEntry& entry, const VM_SAddrEntryForm& form) {
        VM_CAddressEntryDialog dialog(*m_cfg, *m_tree, friends, entry, QStringLiteral("New"));
        dialog.VM_FillForm(form);
        dialog.accept();
        return dialog.result() == QDialog::Accepted;
    }

    static VM_SAddrEntryForm Form(const char* name, const char* office) {
        VM_SAddrEntryForm form;
        form.name = name;
        form.office = office;
        return form;
    }

    std::string TempFolder() const { return m_dir.file("Temp"); }

    int32_t friends = -1;
    std::vector<std::string> messages;
};

TEST_F(AddressEntryDialog, InvalidTextsAndAMissingAnnouncementKeepItOpenWithTheirMessages) {
    VM_CAddrEntry entry;
    EXPECT_FALSE(Ok(entry, Form("  ", "555-0100")));
    EXPECT_FALSE(Ok(entry, Form("Ann", "no number")));
    VM_SAddrEntryForm announce = Form("Ann", "555-0100");
    announce.blockValue = VM_CAddrEntry::kFlagBlockAnnounce;
    EXPECT_FALSE(Ok(entry, announce));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], VM_ENTRY_INVALID_TEXT);
    EXPECT_EQ(messages[1], VM_ENTRY_INVALID_TEXT);
    EXPECT_EQ(messages[2], VM_ENTRY_NO_ANNOUNCEMENT_TEXT);
    EXPECT_FALSE(entry.VM_GetAttrText(VM_CAddrEntry::kAttrName).has_value());
}

TEST_F(AddressEntryDialog, ANumberAlreadyInTheBookNamesItsFolderAndTheEditedEntryIsNoDuplicateOfItself) {
    int32_t ann = AddEntry(friends, {"Ann", "555-0100"});
    VM_CAddrEntry fresh;
    EXPECT_FALSE(Ok(fresh, Form("Someone", "(555) 0100")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "This caller already has an entry in your address book under Address Book=>My Friends folder. ");

    VM_CAddrEntry edited;
    edited.m_id = ann;
    edited.VM_SetAttr(VM_CAddrEntry::kAttrName, "Ann");
    edited.VM_SetAttr(VM_CAddrEntry::kAttrOffice, "555-0100");
    EXPECT_TRUE(Ok(edited, Form("Ann Example", "555-0100")));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(edited.VM_GetAttrText(VM_CAddrEntry::kAttrName).value_or(""), "Ann Example");
}

TEST_F(AddressEntryDialog, ACallerIDWordReplacesEveryNumberAndTheBlockChoiceIsStored) {
    VM_CAddrEntry entry;
    VM_SAddrEntryForm form = Form("Withheld", "");
    form.useSpecialWord = true;
    form.specialWord = 5;
    form.blockValue = VM_CAddrEntry::kFlagBlockTone;
    form.bulkCall = true;
    ASSERT_TRUE(Ok(entry, form)) << (messages.empty() ? "" : messages[0]);
    for (int attr : {VM_CAddrEntry::kAttrName, VM_CAddrEntry::kAttrOffice, VM_CAddrEntry::kAttrHome,
                     VM_CAddrEntry::kAttrCellular})
        EXPECT_EQ(entry.VM_GetAttrText(attr).value_or(""), "Private");
    const DWORD flags = entry.VM_GetFlags();
    EXPECT_EQ(flags & VM_CAddrEntry::kBlockMask, VM_CAddrEntry::kFlagBlockTone);
    EXPECT_TRUE(flags & VM_CAddrEntry::kFlagBulkCall);
}

TEST_F(AddressEntryDialog, WithoutEmailNoticesTheNotifyBoxIsOffAndANewEntryKeepsItsBit) {
    m_cfg->m_nNotifyMode = 0;
    VM_CAddrEntry entry;  // a new entry asks for notice
    VM_CAddressEntryDialog dialog(*m_cfg, *m_tree, friends, entry, QStringLiteral("New"));
    QCheckBox* notify = nullptr;
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        if (box->text() == QString::fromLatin1(VM_ENTRY_NOTIFY_TEXT)) notify = box;
    ASSERT_NE(notify, nullptr);
    EXPECT_FALSE(notify->isEnabled());
    VM_SAddrEntryForm form = Form("Ann", "555-0100");
    form.notify = false;
    dialog.VM_FillForm(form);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(entry.VM_GetFlags() & VM_CAddrEntry::kFlagNotify);
}

TEST_F(AddressEntryDialog, ARecordingBecomesTheEntrysGreetingOnOkAndNoTemporaryFileIsLeft) {
    VM_CAddrEntry entry;
    {
        VM_CAddressEntryDialog dialog(*m_cfg, *m_tree, friends, entry, QStringLiteral("New"));
        ASSERT_FALSE(dialog.VM_GetRecordingFile().empty());
        testsupport::WriteFileBytes(dialog.VM_GetRecordingFile(), "RIFF-recorded");
        dialog.VM_MarkRecorded();
        dialog.VM_FillForm(Form("Ann", "555-0100"));
        dialog.accept();
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
    }
    std::optional<std::string> greeting = entry.VM_GetGreetingFileText();
    ASSERT_TRUE(greeting.has_value());
    EXPECT_EQ(testsupport::ReadFileBytes(*greeting), "RIFF-recorded");
    EXPECT_EQ(testsupport::FilesIn(TempFolder()), 0u);
}

TEST_F(AddressEntryDialog, CancelLeavesTheGreetingAsItWasAndDeletesTheRecording) {
    std::string greeting = m_dir.file("Greeting/Grt0001.Wav");
    std::unique_ptr<char[]> folder(m_cfg->VM_GetPath(VM_FOLDER_GREETING, nullptr));
    testsupport::WriteFileBytes(greeting, "old greeting");
    VM_CAddrEntry entry;
    entry.VM_SetAttr(VM_CAddrEntry::kAttrGreeting, greeting.c_str());
    {
        VM_CAddressEntryDialog dialog(*m_cfg, *m_tree, friends, entry, QStringLiteral("Open"));
        // The control plays and records a copy, never the greeting itself.
        EXPECT_EQ(testsupport::ReadFileBytes(dialog.VM_GetRecordingFile()), "old greeting");
        testsupport::WriteFileBytes(dialog.VM_GetRecordingFile(), "new words");
        dialog.VM_MarkRecorded();
        dialog.reject();
    }
    EXPECT_EQ(testsupport::ReadFileBytes(greeting), "old greeting");
    EXPECT_EQ(testsupport::FilesIn(TempFolder()), 0u);
}

}  // namespace

#include "store/address_entry_form.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "address_book_fixture.h"
#include "store/call_info.h"
#include "store/entry_transfer.h"
#include "store/list.h"
#include "support/user_notices.h"

using storetest::AddressBookFiles;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

VM_SAddrEntryForm Form(const char* name, const char* office, const char* home = "", const char* cellular = "") {
    VM_SAddrEntryForm form;
    form.name = name;
    form.office = office;
    form.home = home;
    form.cellular = cellular;
    return form;
}

TEST(AddrEntryForm, NeedsANameAndOneValidNumberUnlessASpecialWordIsUsed) {
    EXPECT_FALSE(VM_CheckEntryForm(Form("Ann", "", "", "555-0100"), false));
    EXPECT_EQ(VM_ENTRY_INVALID_TEXT, VM_CheckEntryForm(Form("  ", "555-0100"), false).value_or(""));
    EXPECT_EQ(VM_ENTRY_INVALID_TEXT, VM_CheckEntryForm(Form("Ann", "n/a", "-"), false).value_or(""));
    VM_SAddrEntryForm special = Form("", "");
    special.useSpecialWord = true;
    EXPECT_FALSE(VM_CheckEntryForm(special, false));
}

TEST(AddrEntryForm, AnnouncementBlockNeedsARecording) {
    VM_SAddrEntryForm form = Form("Ann", "555-0100");
    form.blockValue = VM_CAddrEntry::kFlagBlockAnnounce;
    EXPECT_EQ(VM_ENTRY_NO_ANNOUNCEMENT_TEXT, VM_CheckEntryForm(form, false).value_or(""));
    EXPECT_FALSE(VM_CheckEntryForm(form, true));
    form.recordedFile = "/tmp/recorded.tmp";
    EXPECT_FALSE(VM_CheckEntryForm(form, false));
    form.blockValue = VM_CAddrEntry::kFlagBlockTone;
    form.recordedFile.clear();
    EXPECT_FALSE(VM_CheckEntryForm(form, false));
}

class AddrEntryFormFiles : public AddressBookFiles {};

TEST_F(AddrEntryFormFiles, DuplicateNamesTheFolderPath) {
    int32_t friends = AddFolder(0, "My Friends");
    int32_t school = AddFolder(friends, "School");
    int32_t ann = AddEntry(school, {"Ann", "555-0100"});
    AddEntry(friends, {"Private", "Private", "Private", "Private"});

    EXPECT_EQ("This caller already has an entry in your address book under Address Book=>My Friends=>School folder. ",
              VM_CheckDuplicateEntry(m_cfg.get(), Form("New", "", "(555) 0100"), std::nullopt, std::nullopt)
                  .value_or("-"));
    // Saving the edited entry itself is no duplicate.
    EXPECT_FALSE(VM_CheckDuplicateEntry(m_cfg.get(), Form("Ann", "555-0100"), school, ann));
    EXPECT_FALSE(VM_CheckDuplicateEntry(m_cfg.get(), Form("Bob", "555-0200"), std::nullopt, std::nullopt));

    VM_SAddrEntryForm special = Form("", "");
    special.useSpecialWord = true;
    special.specialWord = 5;
    EXPECT_EQ("This caller already has an entry in your address book under Address Book=>My Friends folder. ",
              VM_CheckDuplicateEntry(m_cfg.get(), special, std::nullopt, std::nullopt).value_or("-"));
    special.specialWord = 3;
    EXPECT_FALSE(VM_CheckDuplicateEntry(m_cfg.get(), special, std::nullopt, std::nullopt));
}

TEST_F(AddrEntryFormFiles, FolderWithoutANameGivesTheShortMessage) {
    int32_t unnamed = AddFolder(0, "");
    int32_t inner = AddFolder(unnamed, "Inner");
    AddEntry(inner, {"Ann", "555-0100"});
    EXPECT_EQ(VM_ENTRY_DUPLICATE_TEXT,
              VM_CheckDuplicateEntry(m_cfg.get(), Form("X", "5550100"), std::nullopt, std::nullopt).value_or("-"));
}

TEST_F(AddrEntryFormFiles, LongFolderPathsAreCutBelowTheRoot) {
    // Each level adds 302 characters ("=>" and a 300-character name).
    int32_t parent = 0;
    std::vector<int32_t> ids;
    for (char c : std::string("abcd")) {
        parent = AddFolder(parent, std::string(300, c).c_str());
        ids.push_back(parent);
    }
    std::optional<std::string> path = VM_GetAddrFolderPath(*m_tree, ids.back());
    ASSERT_TRUE(path);
    // d, c and b fit in 982 characters (300 + 302 + 302); a would not.
    EXPECT_EQ(std::string("Address Book=>...=>") + std::string(300, 'b') + "=>" + std::string(300, 'c') + "=>" +
                  std::string(300, 'd'),
              *path);
    EXPECT_LE(path->size(), kFolderPathLimit);
    EXPECT_EQ("Address Book=>" + std::string(300, 'a'), VM_GetAddrFolderPath(*m_tree, ids.front()).value_or("-"));
    EXPECT_EQ("Address Book", VM_GetAddrFolderPath(*m_tree, 0).value_or("-"));
    EXPECT_FALSE(VM_GetAddrFolderPath(*m_tree, 77));

    // The found folder's own name is never cut, nor is the message around it.
    int32_t wide = AddFolder(0, std::string(1500, 'w').c_str());
    AddEntry(wide, {"Ann", "555-0100"});
    EXPECT_EQ("This caller already has an entry in your address book under Address Book=>" + std::string(1500, 'w') +
                  " folder. ",
              VM_CheckDuplicateEntry(m_cfg.get(), Form("New", "5550100"), std::nullopt, std::nullopt).value_or("-"));
}

TEST_F(AddrEntryFormFiles, StoringTrimsTextsAndSetsTheFlags) {
    VM_CAddrEntry entry;
    entry.VM_AddFlags(VM_CAddrEntry::kFlagBlockHangUp);
    VM_SAddrEntryForm form = Form("  Ann Lee ", " 555-0100 ", "", "555-0101  ");
    form.notes = "  keep my blanks ";
    form.blockValue = VM_CAddrEntry::kFlagBlockTone;
    form.notify = false;
    form.bulkCall = true;
    m_cfg->m_nNotifyMode = 0;  // the notify box is disabled: the bit stays
    ASSERT_TRUE(VM_StoreEntryForm(entry, form, *m_cfg));
    EXPECT_STREQ("Ann Lee", entry.VM_GetAttr(VM_CAddrEntry::kAttrName));
    EXPECT_STREQ("555-0100", entry.VM_GetAttr(VM_CAddrEntry::kAttrOffice));
    EXPECT_STREQ("", entry.VM_GetAttr(VM_CAddrEntry::kAttrHome) ? entry.VM_GetAttr(VM_CAddrEntry::kAttrHome) : "");
    EXPECT_STREQ("555-0101", entry.VM_GetAttr(VM_CAddrEntry::kAttrCellular));
    EXPECT_STREQ("  keep my blanks ", entry.VM_GetAttr(VM_CAddrEntry::kAttrNotes));
    EXPECT_EQ(VM_CAddrEntry::kFlagBlockTone | VM_CAddrEntry::kFlagNotify | VM_CAddrEntry::kFlagBulkCall,
              entry.VM_GetFlags());

    m_cfg->m_nNotifyMode = 1;
    form.bulkCall = false;
    form.blockValue = 0;
    ASSERT_TRUE(VM_StoreEntryForm(entry, form, *m_cfg));
    EXPECT_EQ(0u, entry.VM_GetFlags());
}

TEST_F(AddrEntryFormFiles, SpecialWordFillsNameAndNumbers) {
    VM_CAddrEntry entry;
    VM_SAddrEntryForm form = Form("ignored", "ignored");
    form.useSpecialWord = true;
    form.specialWord = 5;
    ASSERT_TRUE(VM_StoreEntryForm(entry, form, *m_cfg));
    for (int index : {VM_CAddrEntry::kAttrName, VM_CAddrEntry::kAttrOffice, VM_CAddrEntry::kAttrHome,
                      VM_CAddrEntry::kAttrCellular}) {
        EXPECT_STREQ("Private", entry.VM_GetAttr(index)) << index;
    }
    VM_SAddrEntryForm reopened = VM_FormFromEntry(entry);
    EXPECT_TRUE(reopened.useSpecialWord);
    EXPECT_EQ(5, reopened.specialWord);
}

TEST_F(AddrEntryFormFiles, RecordingBecomesTheGreetingAndTheTemporaryFileGoes) {
    std::string recorded = m_dir.file("recorded.tmp");
    WriteFileBytes(recorded, "new greeting");
    VM_CAddrEntry entry;
    VM_SAddrEntryForm form = Form("Ann", "555-0100");
    form.recordedFile = recorded;
    ASSERT_TRUE(VM_StoreEntryForm(entry, form, *m_cfg));
    std::string greeting = entry.VM_GetAttr(VM_CAddrEntry::kAttrGreeting);
    EXPECT_EQ(m_dir.path() + "/Greeting/Grt0000.Wav", greeting);
    EXPECT_EQ("new greeting", ReadFileBytes(greeting));
    EXPECT_FALSE(FileExists(recorded));

    // A second recording replaces the same file.
    WriteFileBytes(recorded, "second");
    ASSERT_TRUE(VM_StoreEntryForm(entry, form, *m_cfg));
    EXPECT_EQ(greeting, entry.VM_GetAttr(VM_CAddrEntry::kAttrGreeting));
    EXPECT_EQ("second", ReadFileBytes(greeting));
}

TEST_F(AddrEntryFormFiles, ARecordingThatCannotBeStoredIsKept) {
    VM_CAddrEntry entry;
    VM_SAddrEntryForm form = Form("Ann", "555-0100");
    form.recordedFile = m_dir.file("missing.tmp");
    EXPECT_FALSE(VM_StoreEntryForm(entry, form, *m_cfg));
    EXPECT_EQ(nullptr, entry.VM_GetAttr(VM_CAddrEntry::kAttrName));
    EXPECT_EQ(nullptr, entry.VM_GetAttr(VM_CAddrEntry::kAttrGreeting));
}

TEST(AddrEntryForm, EntriesMadeFromACallRecord) {
    VM_CCallInfo record;
    record.VM_SetAttr(VM_CCallInfo::kAttrName, "Caller");
    record.VM_SetAttr(VM_CCallInfo::kAttrNumber, "555-0100");
    std::unique_ptr<VM_CAddrEntry> added(VM_NewEntryFromCall(record, false));
    EXPECT_STREQ("Caller", added->VM_GetAttr(VM_CAddrEntry::kAttrName));
    EXPECT_STREQ("555-0100", added->VM_GetAttr(VM_CAddrEntry::kAttrOffice));
    EXPECT_EQ(VM_CAddrEntry::kFlagNotify, added->VM_GetFlags());
    std::unique_ptr<VM_CAddrEntry> blocked(VM_NewEntryFromCall(record, true));
    EXPECT_EQ(VM_CAddrEntry::kFlagBlockTone | VM_CAddrEntry::kFlagBulkCall, blocked->VM_GetFlags());
}

TEST_F(AddrEntryFormFiles, NewEntriesAreFiledInTheShownListOrTheFolderFile) {
    int32_t friends = AddFolder(0, "My Friends");
    int32_t work = AddFolder(0, "Work");
    VM_CAddrEntry prototype;
    std::unique_ptr<VM_CList> shown = VM_OpenFolderList(*m_cfg, VM_ETreeKind::kAddresses, &prototype, friends);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(VM_FileNewEntry(*m_cfg, shown.get(), friends, new VM_CAddrEntry()));
    EXPECT_EQ(1, shown->VM_GetCount());

    VM_CAddrEntry* entry = new VM_CAddrEntry();
    entry->VM_SetAttr(VM_CAddrEntry::kAttrName, "Filed");
    EXPECT_TRUE(VM_FileNewEntry(*m_cfg, shown.get(), work, entry));
    std::unique_ptr<VM_CList> workList = VM_OpenFolderList(*m_cfg, VM_ETreeKind::kAddresses, &prototype, work);
    ASSERT_EQ(1, workList->VM_GetCount());
    EXPECT_STREQ("Filed", workList->VM_GetAt(0)->VM_GetAttr(VM_CAddrEntry::kAttrName));
    EXPECT_EQ(work, workList->m_id);
}

TEST_F(AddrEntryFormFiles, ADamagedListFileIsSetAsideNotWrittenOver) {
    int32_t folder = AddFolder(0, "Friends");
    AddEntry(folder, {"Ann", "555-0100"});
    std::unique_ptr<char[]> file(m_cfg->VM_GetAddressListFileName(folder));
    std::string bytes = ReadFileBytes(file.get());
    bytes.resize(bytes.size() - 3);  // cut the last attribute short
    WriteFileBytes(file.get(), bytes);
    testsupport::UserNotices notices;
    auto* entry = new VM_CAddrEntry();
    entry->VM_SetAttr(VM_CAddrEntry::kAttrName, "Bob");
    EXPECT_TRUE(VM_FileNewEntry(*m_cfg, nullptr, folder, entry)) << "the folder takes no new entry";
    EXPECT_EQ(bytes, ReadFileBytes(std::string(file.get()) + ".damaged"));
    EXPECT_NE(ReadFileBytes(file.get()).find("Bob"), std::string::npos);
    EXPECT_EQ(notices.texts().size(), 1u);
}

}  // namespace

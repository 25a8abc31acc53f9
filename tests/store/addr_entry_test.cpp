#include "store/addr_entry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/address_list_columns.h"
#include "store/address_list_model.h"
#include "store/app_config.h"
#include "store/list.h"
#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

VM_CAddrEntry* Entry(const char* name, const char* office, const char* home = nullptr,
                     const char* cellular = nullptr) {
    auto* entry = new VM_CAddrEntry();
    entry->VM_SetAttr(VM_CAddrEntry::kAttrName, name);
    entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, office);
    entry->VM_SetAttr(VM_CAddrEntry::kAttrHome, home);
    entry->VM_SetAttr(VM_CAddrEntry::kAttrCellular, cellular);
    return entry;
}

TEST(AddrEntry, NewEntryAsksForNoticeAndHasTenAttributes) {
    VM_CAddrEntry entry;
    EXPECT_EQ(VM_CAddrEntry::kFlagNotify, entry.VM_GetFlags());
    EXPECT_EQ(10, entry.m_nCount);
    entry.VM_SetAttr(9, "/x.wav");
    EXPECT_STREQ("/x.wav", entry.VM_GetAttr(9));
    EXPECT_EQ(nullptr, entry.VM_GetAttr(10));
}

TEST(AddrEntry, GreetingColumnShowsTheBlockTextBeforeTheFile) {
    TempDir dir;
    std::string greeting = dir.file("Grt0000.Wav");
    WriteFileBytes(greeting, "RIFF");
    VM_CAddrEntry entry;
    entry.VM_SetAttr(VM_CAddrEntry::kAttrGreeting, greeting.c_str());
    EXPECT_STREQ("Yes", entry.VM_GetGreetingText());
    entry.VM_AddFlags(VM_CAddrEntry::kFlagBlockAnnounce);
    EXPECT_STREQ("Blocked (Announce Only)", entry.VM_GetGreetingText());
    entry.VM_AddFlags(VM_CAddrEntry::kFlagBlockTone);
    EXPECT_STREQ("Blocked (Special Tone)", entry.VM_GetGreetingText());
    entry.VM_AddFlags(VM_CAddrEntry::kFlagBlockHangUp);
    EXPECT_STREQ("Blocked (Hang Up)", entry.VM_GetGreetingText());
    EXPECT_STREQ("Blocked (Hang Up)", entry.VM_PeekGreetingText());
}

TEST(AddrEntry, AVanishedGreetingReadsNoAndIsForgottenWhenAskedFor) {
    TempDir dir;
    VM_CAddrEntry entry;
    entry.VM_SetAttr(VM_CAddrEntry::kAttrGreeting, dir.file("gone.wav").c_str());
    EXPECT_STREQ("No", entry.VM_PeekGreetingText());
    EXPECT_NE(nullptr, entry.VM_GetAttr(VM_CAddrEntry::kAttrGreeting));  // peeking keeps it
    EXPECT_STREQ("No", entry.VM_GetGreetingText());
    EXPECT_EQ(nullptr, entry.VM_GetAttr(VM_CAddrEntry::kAttrGreeting));
    EXPECT_EQ(nullptr, entry.VM_GetGreetingFile());
}

TEST(AddrEntry, CloneGetsItsOwnGreetingAndDeleteRemovesIt) {
    TempDir dir;
    std::string greeting = dir.file("Grt0000.Wav");
    WriteFileBytes(greeting, "greeting bytes");
    VM_CAddrEntry* entry = Entry("Ann", "555-0100");
    entry->VM_SetAttr(VM_CAddrEntry::kAttrGreeting, greeting.c_str());
    entry->m_id = 7;

    auto* clone = static_cast<VM_CAddrEntry*>(entry->VM_Clone());
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(0, clone->m_id);
    EXPECT_STREQ("Ann", clone->VM_GetAttr(VM_CAddrEntry::kAttrName));
    std::string copy = clone->VM_GetAttr(VM_CAddrEntry::kAttrGreeting);
    EXPECT_NE(greeting, copy);
    EXPECT_EQ(dir.path() + "/Grt0001.Wav", copy);
    EXPECT_EQ("greeting bytes", ReadFileBytes(copy));

    clone->VM_Delete();
    EXPECT_FALSE(FileExists(copy));
    EXPECT_TRUE(FileExists(greeting));
    entry->VM_Delete();
    EXPECT_FALSE(FileExists(greeting));
}

TEST(AddrEntry, DisplayPhoneIsTheFirstUsableOfOfficeHomeCellular) {
    std::unique_ptr<VM_CAddrEntry> entry(Entry("Ann", "none", "555-0101", "555-0102"));
    EXPECT_EQ("555-0101", entry->VM_GetDisplayPhone().value_or("-"));
    entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, " Private ");
    EXPECT_EQ(" Private ", entry->VM_GetDisplayPhone().value_or("-"));
    std::unique_ptr<VM_CAddrEntry> nothing(Entry("Bob", "", "n/a", nullptr));
    EXPECT_FALSE(nothing->VM_GetDisplayPhone());
}

TEST(AddrList, ColumnsTextsAndTheEmptyHint) {
    const std::vector<VM_SAddrColumn>& columns = VM_GetAddrListColumns();
    ASSERT_EQ(3u, columns.size());
    EXPECT_STREQ("Name", columns[0].title);
    EXPECT_EQ(150, columns[0].width);
    EXPECT_STREQ("Phone Number", columns[1].title);
    EXPECT_EQ(200, columns[1].width);
    EXPECT_STREQ("Greeting", columns[2].title);
    EXPECT_EQ(200, columns[2].width);
    EXPECT_EQ(0, std::string(VM_ADDR_LIST_EMPTY_HINT).find("Tip: To quickly add a new address entry"));

    std::unique_ptr<VM_CAddrEntry> entry(Entry("Ann", nullptr, nullptr, "555-0102"));
    EXPECT_EQ("Ann", VM_GetAddrCellText(*entry, VM_EAddrColumn::kName));
    EXPECT_EQ("555-0102", VM_GetAddrCellText(*entry, VM_EAddrColumn::kPhone));
    EXPECT_EQ("No", VM_GetAddrCellText(*entry, VM_EAddrColumn::kGreeting));
}

TEST(AddrList, SortingByPhonePutsEntriesWithoutOneFirstThenLast) {
    VM_CAddrEntry prototype;
    VM_CList list(&prototype, nullptr, 0);
    list.VM_Append(Entry("Cy", "555-0300"));
    list.VM_Append(Entry("NoNumber", "none"));
    list.VM_Append(Entry("Ann", nullptr, "555-0100"));
    VM_CAddrListSort sort;
    auto names = [&list] {
        std::string text;
        for (int i = 0; i < list.VM_GetCount(); ++i) text += std::string(list.VM_GetAt(i)->VM_GetAttr(2)) + " ";
        return text;
    };
    list.VM_Sort(1, kSortAscending, &sort);
    EXPECT_EQ("NoNumber Ann Cy ", names());
    list.VM_Sort(1, kSortDescending, &sort);
    EXPECT_EQ("Cy Ann NoNumber ", names());
    list.VM_Sort(0, kSortAscending, &sort);
    EXPECT_EQ("Ann Cy NoNumber ", names());
}

TEST(AddrList, EntriesKeepAllTheirAttributesThroughTheListFile) {
    TempDir dir;
    std::string file = dir.file("QvLA0004.Cfg");
    VM_CAddrEntry prototype;
    {
        VM_CList list(&prototype, file.c_str(), VM_CList::kFileBacked);
        VM_CAddrEntry* entry = Entry("Ann", "1", "2", "3");
        entry->VM_SetAttr(VM_CAddrEntry::kAttrNotes, "notes");
        entry->VM_SetAttr(VM_CAddrEntry::kAttrGreeting, "/g.wav");
        entry->VM_AddFlags(VM_CAddrEntry::kFlagBulkCall);
        list.VM_Append(entry);
    }
    VM_CList loaded(&prototype, file.c_str(), 0);
    ASSERT_EQ(1, loaded.VM_GetCount());
    const VM_CItem* entry = loaded.VM_GetAt(0);
    EXPECT_EQ(12u, entry->VM_GetFlags());
    const char* expected[10] = {"12", "notes", "Ann", "1", "2", "3", nullptr, nullptr, nullptr, "/g.wav"};
    for (int i = 0; i < 10; ++i) {
        const char* attr = entry->VM_GetAttr(i);
        EXPECT_EQ(expected[i] ? std::string(expected[i]) : "<absent>", attr ? std::string(attr) : "<absent>") << i;
    }
}

TEST(AddrListModel, ShowsAFolderSortedAsRememberedAndRemembersSortCommands) {
    TempDir dir;
    {
        VM_CAppCfg cfg(dir.path().c_str());
        VM_CAddrListModel model(cfg);
        ASSERT_TRUE(model.VM_OpenFolder(4));
        EXPECT_STREQ(VM_ADDR_LIST_EMPTY_HINT, model.VM_GetEmptyHint());
        model.VM_GetList()->VM_Append(Entry("Bob", "555-0200"));
        model.VM_GetList()->VM_Append(Entry("Ann", "555-0300"));
        model.VM_GetList()->VM_Append(Entry("Cy", "555-0100"));
        EXPECT_EQ(nullptr, model.VM_GetEmptyHint());
        model.VM_SortCommand(VM_EAddrColumn::kPhone);
        EXPECT_EQ("Cy", model.VM_GetCellText(0, 0));
        EXPECT_EQ("555-0100", model.VM_GetCellText(0, 1));
        EXPECT_EQ("No", model.VM_GetCellText(0, 2));
        model.VM_SortCommand(VM_EAddrColumn::kPhone);  // the same column again: reversed
        EXPECT_EQ("Ann", model.VM_GetCellText(0, 0));
        EXPECT_EQ("", model.VM_GetCellText(3, 0));
        EXPECT_EQ("", model.VM_GetCellText(0, 3));
    }
    VM_CAppCfg cfg(dir.path().c_str());
    EXPECT_EQ(1, cfg.m_nAddrSortColumn);
    EXPECT_EQ(kSortDescending, cfg.m_nAddrSortOrder);
    VM_CAddrListModel model(cfg);
    ASSERT_TRUE(model.VM_OpenFolder(4));
    ASSERT_EQ(3, model.VM_GetRowCount());
    EXPECT_EQ(4, model.VM_GetFolderId());
    EXPECT_EQ("Ann", model.VM_GetCellText(0, 0));
    EXPECT_EQ("Cy", model.VM_GetCellText(2, 0));
}

}  // namespace

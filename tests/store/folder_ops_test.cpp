#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "store/app_config.h"
#include "store/call_log_columns.h"
#include "store/deleted_messages.h"
#include "store/entry_transfer.h"
#include "store/folder_commands.h"
#include "store/list_search.h"
#include "store/message_recovery.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/user_notices.h"

using storetest::FileSizeLimit;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// A program folder with its configuration, and call records in folder lists.
class MessageFolders : public ::testing::Test {
protected:
    MessageFolders() : m_cfg(m_home.path().c_str()) {}

    std::string ListPath(int folderId) {
        std::unique_ptr<char[]> path(m_cfg.VM_GetMessageListFileName(folderId));
        return path.get();
    }

    // A record named name with a recording holding its name.
    VM_CCallInfo* Call(const std::string& name, bool read = false) {
        auto* record = new VM_CCallInfo;
        record->VM_SetAttr(VM_CCallInfo::kAttrName, name.c_str());
        std::string wave = m_home.file(name + ".Wav");
        WriteFileBytes(wave, name);
        record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
        if (read) record->VM_AddFlags(VM_CCallInfo::kFlagRead);
        return record;
    }

    std::unique_ptr<VM_CList> Open(int folderId, DWORD flags = VM_CList::kFileBacked) {
        auto list = std::make_unique<VM_CList>(&m_prototype, ListPath(folderId).c_str(), flags);
        list->m_id = folderId;
        return list;
    }

    static std::string Names(const VM_CList& list) {
        std::string names;
        for (int i = 0; i < list.VM_GetCount(); ++i) names += list.VM_GetAt(i)->VM_GetAttrText(2).value_or("-") + ";";
        return names;
    }

    std::string NamesInFile(int folderId) { return Names(*Open(folderId, 0)); }

    TempDir m_home;
    VM_CAppCfg m_cfg;
    VM_CCallInfo m_prototype;
};

}  // namespace

TEST(CallLogColumns, DependOnTheCallerAndMailboxBits) {
    auto titles = [](DWORD flags) {
        std::string s;
        for (const VM_SCallColumn& c : VM_GetCallLogColumns(flags)) s += std::string(c.title) + "/" + std::to_string(c.width) + ";";
        return s;
    };
    EXPECT_EQ(titles(VM_FLAG_CALLER_COLUMNS | VM_FLAG_SINGLE_MAILBOX),
              "Caller Name/120;Phone Number/150;Time/180;Voice Recorded/120;");
    EXPECT_EQ(titles(VM_FLAG_CALLER_COLUMNS), "Caller Name/120;Phone Number/150;Mailbox/80;Time/180;Voice Recorded/120;");
    EXPECT_EQ(titles(0), "Mailbox/80;Time/180;Voice Recorded/120;");
}

TEST(CallLogColumns, TimeSortsByTheStoredTextAndColumnsCountOnlyThosePresent) {
    VM_CCallInfo prototype;
    VM_CList list(&prototype, nullptr, 0);
    auto add = [&](const char* name, int day, int hour) {
        auto* r = new VM_CCallInfo;
        r->VM_SetAttr(VM_CCallInfo::kAttrName, name);
        r->VM_SetTime(2024, 5, day, hour, 0, 0);
        list.VM_Append(r);
    };
    add("late", 1, 23);
    add("next day", 2, 1);
    add("early", 1, 1);
    // Single mailbox: Time is the third column present.
    VM_CCallLogSort sort(VM_FLAG_CALLER_COLUMNS | VM_FLAG_SINGLE_MAILBOX);
    list.VM_Sort(2, kSortAscending, &sort);
    std::string order;
    for (int i = 0; i < 3; ++i)
        order += VM_GetCallCellText(*static_cast<VM_CCallInfo*>(list.VM_GetAt(i)), VM_ECallColumn::kName) + ";";
    EXPECT_EQ(order, "early;late;next day;");
    EXPECT_EQ(VM_GetCallCellText(*static_cast<VM_CCallInfo*>(list.VM_GetAt(1)), VM_ECallColumn::kTime),
              "2024/05/01 11:00 PM");
}

TEST_F(MessageFolders, CellTextsOfABlockedCallerAndAnUnreadRecord) {
    std::unique_ptr<VM_CCallInfo> record(Call("Ann"));
    EXPECT_EQ(VM_GetCallCellText(*record, VM_ECallColumn::kRecorded), "Yes");
    EXPECT_EQ(VM_GetCallCellText(*record, VM_ECallColumn::kMailbox), "0");
    record->VM_AddFlags(VM_CCallInfo::kFlagBlocked);
    EXPECT_EQ(VM_GetCallCellText(*record, VM_ECallColumn::kRecorded), "Blocked");
    EXPECT_EQ(VM_GetCallSortKey(*record, VM_ECallColumn::kRecorded), "Blocked");
    EXPECT_TRUE(VM_IsDrawnBold(*record));
    record->VM_AddFlags(VM_CCallInfo::kFlagRead);
    EXPECT_FALSE(VM_IsDrawnBold(*record));
}

TEST_F(MessageFolders, FolderCommandsFollowTheFolder) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    VM_CNode* root = new VM_CTreeItem("Phone Calls", 0, 0);
    tree.VM_Insert(nullptr, root);
    for (const char* name : {"Inbox", "Deleted Messages", "Bulk Call", "Mine"})
        tree.VM_Insert(root, new VM_CTreeItem(name, 3, 4));
    auto commands = [&](int id, int records = 0, bool shownPage = true) {
        VM_SFolderCommands c =
            VM_GetFolderCommands(m_cfg, VM_ETreeKind::kMessages, tree, tree.VM_Find(id), shownPage, records);
        return std::string(c.newFolder ? "N" : "-") + (c.rename ? "R" : "-") + (c.deleteFolder ? "D" : "-");
    };
    EXPECT_EQ(commands(0), "N--");
    EXPECT_EQ(commands(m_cfg.m_idInbox), "N--");
    EXPECT_EQ(commands(m_cfg.m_idDeleted), "---");
    EXPECT_EQ(commands(m_cfg.m_idBulkCall), "---");
    EXPECT_EQ(commands(4), "NRD");
    EXPECT_EQ(commands(4, 1), "NR-");
    EXPECT_EQ(commands(4, 0, false), "---");
    tree.VM_Insert(tree.VM_Find(4), new VM_CTreeItem("Sub", 3, 4));
    EXPECT_EQ(commands(4), "NR-");
    m_cfg.VM_SetFlag(false, VM_FLAG_FOLDER_TREE);
    EXPECT_EQ(commands(5), "---");
    m_cfg.VM_SetFlag(true, VM_FLAG_FOLDER_TREE);
    VM_SFolderCommands address = VM_GetFolderCommands(m_cfg, VM_ETreeKind::kAddresses, tree, root, true, 0);
    EXPECT_TRUE(address.newFolder && !address.rename && !address.deleteFolder);
}

TEST_F(MessageFolders, AFolderIsBoldWhileItHoldsAnUnreadRecord) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    tree.VM_Insert(nullptr, new VM_CTreeItem("Phone Calls", 0, 0));
    tree.VM_Insert(tree.VM_Find(0), new VM_CTreeItem("Inbox", 1, 1));
    {
        auto inbox = Open(1);
        inbox->VM_Append(Call("Read", true));
        EXPECT_EQ(VM_GetFolderState(*inbox), VM_CTreeItem::kStateNormal);
        inbox->VM_Append(Call("New"));
        EXPECT_EQ(VM_GetFolderState(*inbox), VM_CTreeItem::kStateBold);
    }
    EXPECT_EQ(VM_GetFolderStateFromFile(m_cfg, 1), VM_CTreeItem::kStateBold);
    EXPECT_EQ(VM_GetFolderStateFromFile(m_cfg, 7), VM_CTreeItem::kStateNormal);
    EXPECT_TRUE(VM_SetFolderState(tree, 1, VM_CTreeItem::kStateBold));
    EXPECT_FALSE(VM_SetFolderState(tree, 1, VM_CTreeItem::kStateBold));
}

TEST_F(MessageFolders, Moving20RecordsKeepsTheirOrderAndGivesNewIdentifiers) {
    auto inbox = Open(1);
    for (int i = 0; i < 25; ++i) inbox->VM_Append(Call("m" + std::to_string(i)));
    {
        auto target = Open(4);
        target->VM_Append(Call("already there"));
    }
    std::vector<int> selected;
    for (int i = 24; i >= 5; --i) selected.push_back(i);  // selection order does not matter
    VM_STransferResult moved = VM_MoveToFolder(m_cfg, VM_ETreeKind::kMessages, *inbox, selected, 4);
    ASSERT_TRUE(moved.ok);
    EXPECT_EQ(moved.count, 20);
    EXPECT_GE(moved.count, kRefillThreshold);
    EXPECT_EQ(inbox->VM_GetCount(), 5);
    EXPECT_EQ(moved.VM_SelectionAfter(inbox->VM_GetCount()), 4);
    auto target = Open(4, 0);
    ASSERT_EQ(target->VM_GetCount(), 21);
    EXPECT_EQ(target->VM_GetAt(1)->VM_GetAttrText(2), "m5");
    EXPECT_EQ(target->VM_GetAt(20)->VM_GetAttrText(2), "m24");
    EXPECT_EQ(target->VM_GetAt(1)->m_id, 2);
    EXPECT_TRUE(FileExists(m_home.file("m5.Wav")));  // moving keeps the recording
    EXPECT_EQ(NamesInFile(1), "m0;m1;m2;m3;m4;");
}

TEST_F(MessageFolders, AMoveIntoAFolderThatCannotBeSavedLeavesEverythingInPlace) {
    auto inbox = Open(1);
    for (int i = 0; i < 3; ++i) inbox->VM_Append(Call("m" + std::to_string(i)));
    ASSERT_TRUE(inbox->VM_Save());
    const std::string inboxBytes = ReadFileBytes(ListPath(1));

    // A full disk while the target is written.
    {
        FileSizeLimit diskFull(8);
        EXPECT_FALSE(VM_MoveToFolder(m_cfg, VM_ETreeKind::kMessages, *inbox, {0, 1}, 5).ok);
    }
    EXPECT_FALSE(FileExists(ListPath(5)));
    EXPECT_EQ(Names(*inbox), "m0;m1;m2;");
    EXPECT_EQ(inbox->VM_GetAt(0)->m_id, 1);
    EXPECT_EQ(inbox->VM_SaveBytes(), inboxBytes);
}

// A damaged target file is set aside, and the folder takes the messages.
TEST_F(MessageFolders, AMoveIntoAFolderWithADamagedFileSetsTheFileAside) {
    auto inbox = Open(1);
    for (int i = 0; i < 3; ++i) inbox->VM_Append(Call("m" + std::to_string(i)));
    ASSERT_TRUE(inbox->VM_Save());
    const std::string damaged = std::string("\x04\0\0\0\x09\0\0\0\x05\0\0\0", 12);
    WriteFileBytes(ListPath(4), damaged);
    testsupport::UserNotices notices;
    EXPECT_TRUE(VM_MoveToFolder(m_cfg, VM_ETreeKind::kMessages, *inbox, {0, 1}, 4).ok);
    EXPECT_EQ(ReadFileBytes(ListPath(4) + ".damaged"), damaged);
    EXPECT_EQ(NamesInFile(4), "m0;m1;");
    EXPECT_EQ(Names(*inbox), "m2;");
}

TEST_F(MessageFolders, DeletingInInboxMovesToDeletedAndDeletingThereRemovesTheRecording) {
    auto inbox = Open(m_cfg.m_idInbox);
    inbox->VM_Append(Call("keep"));
    inbox->VM_Append(Call("gone"));
    ASSERT_TRUE(VM_DeleteEntries(m_cfg, VM_ETreeKind::kMessages, *inbox, {1}).ok);
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "keep;");
    auto deleted = Open(m_cfg.m_idDeleted);
    ASSERT_EQ(Names(*deleted), "gone;");
    EXPECT_EQ(deleted->VM_GetAt(0)->m_id, 1);  // a new identifier from its new list
    EXPECT_TRUE(FileExists(m_home.file("gone.Wav")));
    ASSERT_TRUE(VM_DeleteEntries(m_cfg, VM_ETreeKind::kMessages, *deleted, {0}).ok);
    EXPECT_FALSE(FileExists(m_home.file("gone.Wav")));
    EXPECT_FALSE(FileExists(ListPath(m_cfg.m_idDeleted)));
}

TEST_F(MessageFolders, DeletingForGoodWhenTheListCannotBeSavedKeepsRecordsAndRecordings) {
    auto deleted = Open(m_cfg.m_idDeleted);
    for (int i = 0; i < 40; ++i) deleted->VM_Append(Call("d" + std::to_string(i)));
    ASSERT_TRUE(deleted->VM_Save());
    const std::string all = Names(*deleted);
    {
        FileSizeLimit diskFull(1024);
        EXPECT_FALSE(VM_DeleteEntries(m_cfg, VM_ETreeKind::kMessages, *deleted, {0, 5}).ok);
    }
    EXPECT_EQ(Names(*deleted), all);
    EXPECT_EQ(NamesInFile(m_cfg.m_idDeleted), all);
    EXPECT_EQ(ReadFileBytes(m_home.file("d5.Wav")), "d5") << "a record the file still names keeps its recording";
}

TEST_F(MessageFolders, CopyingClonesRecordingsAndDeselectsWhatCannotBeCloned) {
    auto inbox = Open(1);
    inbox->VM_Append(Call("a"));
    VM_CCallInfo* lost = Call("lost");
    inbox->VM_Append(lost);
    std::remove(m_home.file("lost.Wav").c_str());
    // A record whose recording disappeared is copied without one.
    VM_STransferResult copied = VM_CopyToFolder(m_cfg, *inbox, {0, 1}, 4);
    ASSERT_TRUE(copied.ok);
    EXPECT_EQ(copied.count, 2);
    EXPECT_EQ(inbox->VM_GetCount(), 2);
    auto target = Open(4, 0);
    std::string copyWave = target->VM_GetAt(0)->VM_GetAttrText(7).value_or("");
    EXPECT_NE(copyWave, m_home.file("a.Wav"));
    EXPECT_EQ(ReadFileBytes(copyWave), "a");
    EXPECT_FALSE(VM_CopyToFolder(m_cfg, *inbox, {0}, m_cfg.m_idDeleted).ok);

    WriteFileBytes(m_home.file("big.Wav"), std::string(4096, 'b'));
    inbox->VM_GetAt(1)->VM_SetAttr(7, m_home.file("big.Wav").c_str());
    {
        FileSizeLimit diskFull(1024);
        copied = VM_CopyEntries(*inbox, {0, 1}, *std::make_unique<VM_CList>(&m_prototype, nullptr, 0));
    }
    EXPECT_EQ(copied.failed, std::vector<int>{1});
}

TEST_F(MessageFolders, RemoteDeleteFromAFolderThatIsNotShown) {
    {
        auto inbox = Open(1);
        inbox->VM_Append(Call("first"));
        inbox->VM_Append(Call("second"));
    }
    VM_SRemoteDeleteResult r = VM_RemoteDeleteMessage(m_cfg, 1, 2, nullptr);
    ASSERT_TRUE(r.done);
    EXPECT_TRUE(r.wasUnread);
    EXPECT_EQ(NamesInFile(1), "first;");
    EXPECT_EQ(NamesInFile(2), "second;");
    EXPECT_EQ(Open(2, 0)->VM_GetAt(0)->VM_GetAttrText(7).value_or(""), m_home.file("second.Wav"));
    EXPECT_EQ(ReadFileBytes(m_home.file("second.Wav")), "second");
    EXPECT_FALSE(VM_RemoteDeleteMessage(m_cfg, 1, 99, nullptr).done);
}

TEST_F(MessageFolders, RemoteDeleteWithTheSourceOrDeletedShown) {
    auto inbox = Open(1);
    inbox->VM_Append(Call("a", true));
    inbox->VM_Append(Call("b"));
    VM_SRemoteDeleteResult r = VM_RemoteDeleteMessage(m_cfg, 1, 1, inbox.get());
    ASSERT_TRUE(r.done);
    EXPECT_TRUE(r.removedFromShown);
    EXPECT_FALSE(r.wasUnread);
    EXPECT_EQ(Names(*inbox), "b;");
    inbox.reset();

    auto deleted = Open(2);
    r = VM_RemoteDeleteMessage(m_cfg, 1, 2, deleted.get());
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.addedToShown, deleted->VM_GetAt(1));
    EXPECT_EQ(Names(*deleted), "a;b;");
    EXPECT_FALSE(FileExists(ListPath(1)));
}

TEST_F(MessageFolders, ARemoteDeleteOnAFullDiskNeedsNoRoomForACopyOfTheRecording) {
    {
        auto inbox = Open(1);
        VM_CCallInfo* record = Call("big");
        WriteFileBytes(m_home.file("big.Wav"), std::string(8192, 'x'));
        inbox->VM_Append(record);
    }
    VM_SRemoteDeleteResult r;
    {
        FileSizeLimit diskFull(1024);
        r = VM_RemoteDeleteMessage(m_cfg, 1, 1, nullptr);
    }
    EXPECT_TRUE(r.done);
    EXPECT_EQ(NamesInFile(1), "");
    EXPECT_EQ(NamesInFile(2), "big;");
    EXPECT_EQ(ReadFileBytes(m_home.file("big.Wav")).size(), 8192u);
}

TEST_F(MessageFolders, ARemoteDeleteWhoseFolderCannotBeSavedLeavesTheMessageInOneFolder) {
    std::string all;
    {
        auto inbox = Open(1);
        for (int i = 0; i < 40; ++i) {
            inbox->VM_Append(Call(("r" + std::to_string(i)).c_str()));
            all += "r" + std::to_string(i) + ";";
        }
    }
    VM_SRemoteDeleteResult r;
    {
        // Room for the one-record Deleted Messages list, not for the Inbox's.
        FileSizeLimit diskFull(1024);
        r = VM_RemoteDeleteMessage(m_cfg, 1, 1, nullptr);
    }
    EXPECT_FALSE(r.done);
    EXPECT_EQ(NamesInFile(1), all);
    EXPECT_EQ(ReadFileBytes(m_home.file("r0.Wav")), "r0");
    EXPECT_EQ(NamesInFile(2), "") << "a copy left behind would file the call twice";
    EXPECT_EQ(1, Open(1, 0)->VM_GetAt(0)->m_id) << "the record keeps its place and identifier";
}

TEST_F(MessageFolders, ADeleteKilledBetweenItsTwoListsIsFinishedAtTheNextStart) {
    std::string rest;
    {
        auto inbox = Open(1);
        for (int i = 0; i < 40; ++i) {
            inbox->VM_Append(Call("r" + std::to_string(i)));
            if (i > 0) rest += "r" + std::to_string(i) + ";";
        }
    }
    // Deleted Messages' one-record list fits under the limit, the Inbox's
    // does not: the signal the limit raises ends the child while it writes
    // the Inbox, after Deleted Messages was written.
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{1024, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        VM_RemoteDeleteMessage(m_cfg, 1, 1, nullptr);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "status " << status;
    ASSERT_EQ(NamesInFile(2), "r0;");
    ASSERT_EQ(Open(1, 0)->VM_GetCount(), 40) << "killed before the Inbox was written";

    VM_RecoverInterruptedMessages(m_cfg);
    EXPECT_EQ(NamesInFile(1), rest);
    EXPECT_EQ(NamesInFile(2), "r0;");
    EXPECT_EQ(ReadFileBytes(m_home.file("r0.Wav")), "r0");
    std::unique_ptr<char[]> journal(m_cfg.VM_GetPath(VM_FOLDER_CONFIG, "Move.Jnl"));
    EXPECT_FALSE(FileExists(journal.get()));
}

TEST_F(MessageFolders, EmptyingDeletedMessagesRemovesRecordsRecordingsAndTheFile) {
    {
        auto deleted = Open(2);
        deleted->VM_Append(Call("x"));
        deleted->VM_Append(Call("y"));
    }
    EXPECT_TRUE(VM_EmptyDeletedMessages(m_cfg, nullptr));
    EXPECT_FALSE(FileExists(ListPath(2)));
    EXPECT_FALSE(FileExists(m_home.file("x.Wav")));
    EXPECT_FALSE(FileExists(m_home.file("y.Wav")));

    auto shown = Open(2);
    shown->VM_Append(Call("z"));
    EXPECT_TRUE(VM_EmptyDeletedMessages(m_cfg, shown.get()));
    EXPECT_EQ(shown->VM_GetCount(), 0);
    EXPECT_FALSE(FileExists(m_home.file("z.Wav")));
}

TEST(ListSearch, DirectionSelectionAndNoWrap) {
    VM_CCallInfo prototype;
    VM_CList list(&prototype, nullptr, 0);
    const char* names[] = {"Anna Smith", "Bob", "anna b", "Carl"};
    for (const char* n : names) {
        auto* r = new VM_CCallInfo;
        r->VM_SetAttr(VM_CCallInfo::kAttrName, n);
        list.VM_Append(r);
    }
    list.VM_GetAt(3)->VM_SetAttr(VM_CCallInfo::kAttrNotes, "call ANNA back");
    VM_SFindOptions find;
    find.text = "  anna ";
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, -1), 0);
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, 0), 2);
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, 2), 3);  // notes, any case
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, 3), -1);  // no wrap
    find.field = kFindName;
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, 2), -1);
    find.down = false;
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, -1), 2);
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, 2), 0);
    find.matchCase = true;
    find.text = "Anna";
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, -1), 0);
    find.text = "ANNA";
    find.field = kFindAllFields;
    EXPECT_EQ(VM_FindInList(list, VM_ERecordKind::kCallRecord, find, -1), 3);
}

TEST(ListSearch, AddressEntriesSearchAllThreeNumbers) {
    EXPECT_EQ(VM_GetFindAttributes(VM_ERecordKind::kAddressEntry, kFindPhoneNumber), (std::vector<int>{5, 4, 3}));
    EXPECT_EQ(VM_GetFindAttributes(VM_ERecordKind::kAddressEntry, kFindAllFields),
              (std::vector<int>{2, 5, 4, 3, 1}));
    EXPECT_EQ(VM_GetFindAttributes(VM_ERecordKind::kCallRecord, kFindPhoneNumber), std::vector<int>{3});
}

TEST(ListSearch, HistoryKeepsTheLastFiveNewestFirst) {
    VM_CFindHistory history;
    for (const char* t : {"a", "b", "c", "d", "e", "f"}) history.VM_Add(t);
    history.VM_Add("c");
    history.VM_Add(std::string(150, 'z'));
    std::string all;
    for (const std::string& t : history.VM_GetTexts()) all += (t.size() > 1 ? std::to_string(t.size()) : t) + ";";
    EXPECT_EQ(all, "99;c;f;e;d;");
}

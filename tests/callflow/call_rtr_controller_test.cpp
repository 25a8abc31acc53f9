// Remote retrieval's view of the Inbox: a snapshot, newest first, walked by
// mailbox, that forgets a deleted message without touching the list file;
// and the prompts that speak a message's date and time.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "callflow/call_rtr_controller.h"
#include "callflow/message_announcement.h"
#include "store/app_config.h"
#include "support/temp_dir.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileBytes;

struct Message {
    int month, day, hour, minute;
    int mailbox;
};

class RetrievalList : public ::testing::Test {
protected:
    std::string InboxFile() {
        std::unique_ptr<char[]> path(m_cfg.VM_GetMessageListFileName(m_cfg.m_idInbox));
        return path.get();
    }
    // Stores the messages in the Inbox list file in the order given.
    void StoreInbox(const std::vector<Message>& messages) {
        VM_CCallInfo prototype;
        VM_CList list(&prototype, InboxFile().c_str(), VM_CList::kFileBacked);
        for (const Message& m : messages) {
            auto* record = new VM_CCallInfo();
            record->VM_SetTime(2026, m.month, m.day, m.hour, m.minute, 7);
            record->VM_SetMailbox(m.mailbox);
            ASSERT_TRUE(list.VM_Append(record));
        }
        ASSERT_TRUE(list.VM_Save());
    }
    static int DayOf(VM_CCallInfo* record) { return record == nullptr ? -1 : VM_GetMessageTime(*record).day; }

    testsupport::TempDir m_home;
    VM_CAppCfg m_cfg{m_home.path().c_str()};
};

std::vector<int> Spoken(int month, int day, int hour24, int minute) {
    VM_CCallInfo record;
    record.VM_SetTime(2026, month, day, hour24, minute, 0);
    const VM_SMessageTime time = VM_GetMessageTime(record);
    std::vector<int> prompts;
    for (int state = 62; state <= 69; ++state) {
        int prompt = VM_GetAnnouncementPrompt(state, time);
        if (prompt == VM_ANNOUNCE_INVALID) return {VM_ANNOUNCE_INVALID, state};
        if (prompt != VM_ANNOUNCE_NOTHING) prompts.push_back(prompt);
    }
    return prompts;
}

}  // namespace

TEST_F(RetrievalList, NoInboxFileIsAnEmptyListThatFindsNothingAndLeavesThePosition) {
    VM_CCallRtrController messages(&m_cfg);
    ASSERT_TRUE(messages.VM_IsReady());
    int pos = 0;
    EXPECT_EQ(messages.VM_FindFirst(pos, VM_MAILBOX_ANY), nullptr);
    EXPECT_EQ(messages.VM_FindNext(pos, VM_MAILBOX_ANY), nullptr);
    EXPECT_EQ(messages.VM_FindPrevious(pos, VM_MAILBOX_ANY), nullptr);
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(messages.VM_Remove(0));
    EXPECT_FALSE(FileExists(InboxFile())) << "a snapshot never writes the list file";
}

TEST(RetrievalListWithoutConfigFolder, IsAnEmptyListRatherThanNone) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir.file("file"), "not a folder");
    VM_CAppCfg cfg(dir.file("file").c_str());
    VM_CCallRtrController messages(&cfg);
    EXPECT_TRUE(messages.VM_IsReady());
    int pos = 0;
    EXPECT_EQ(messages.VM_FindFirst(pos, VM_MAILBOX_ANY), nullptr);
}

TEST_F(RetrievalList, MessagesAreWalkedNewestFirstAndTheEndsKeepTheCurrentOne) {
    StoreInbox({{5, 2, 9, 0, 0}, {5, 1, 23, 59, 0}, {5, 3, 8, 30, 0}});
    VM_CCallRtrController messages(&m_cfg);
    int pos = 0;
    EXPECT_EQ(DayOf(messages.VM_FindFirst(pos, VM_MAILBOX_ANY)), 3);
    EXPECT_EQ(DayOf(messages.VM_FindNext(pos, VM_MAILBOX_ANY)), 2);
    EXPECT_EQ(DayOf(messages.VM_FindNext(pos, VM_MAILBOX_ANY)), 1);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(messages.VM_FindNext(pos, VM_MAILBOX_ANY), nullptr);
    EXPECT_EQ(pos, 2) << "past the oldest the position stays";
    EXPECT_EQ(DayOf(messages.VM_FindPrevious(pos, VM_MAILBOX_ANY)), 2);
    EXPECT_EQ(DayOf(messages.VM_FindPrevious(pos, VM_MAILBOX_ANY)), 3);
    EXPECT_EQ(messages.VM_FindPrevious(pos, VM_MAILBOX_ANY), nullptr);
    EXPECT_EQ(pos, 0);
}

TEST_F(RetrievalList, AMailboxFilterSkipsOtherMailboxesBothWays) {
    StoreInbox({{6, 1, 10, 0, 5}, {6, 2, 10, 0, 0}, {6, 3, 10, 0, 5}, {6, 4, 10, 0, 2}});
    VM_CCallRtrController messages(&m_cfg);
    int pos = 0;
    EXPECT_EQ(DayOf(messages.VM_FindFirst(pos, 5)), 3);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(DayOf(messages.VM_FindNext(pos, 5)), 1);
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(DayOf(messages.VM_FindPrevious(pos, 5)), 3);
    pos = 0;
    EXPECT_EQ(messages.VM_FindFirst(pos, 7), nullptr);
    EXPECT_EQ(DayOf(messages.VM_FindFirst(pos, 0)), 2) << "mailbox 0 is also the one never set";
}

TEST_F(RetrievalList, RemovingForgetsTheMessageWithoutWritingTheListFile) {
    StoreInbox({{5, 1, 9, 0, 0}, {5, 2, 9, 0, 0}});
    const std::string before = ReadFileBytes(InboxFile());
    {
        VM_CCallRtrController messages(&m_cfg);
        int pos = 0;
        ASSERT_EQ(DayOf(messages.VM_FindFirst(pos, VM_MAILBOX_ANY)), 2);
        EXPECT_TRUE(messages.VM_Remove(pos));
        EXPECT_EQ(messages.VM_GetCount(), 1);
        EXPECT_EQ(DayOf(messages.VM_FindFirst(pos, VM_MAILBOX_ANY)), 1);
        EXPECT_FALSE(messages.VM_Remove(5));
    }
    EXPECT_EQ(ReadFileBytes(InboxFile()), before);
}

TEST(MessageAnnouncement, TheExamplesAreSpokenWithTheirPromptsInOrder) {
    EXPECT_EQ(Spoken(3, 3, 21, 5), (std::vector<int>{10, 42, 62, 98, 94, 11}));
    EXPECT_EQ(Spoken(7, 21, 0, 30), (std::vector<int>{10, 46, 109, 60, 101, 110, 12}));
    EXPECT_EQ(Spoken(6, 30, 7, 0), (std::vector<int>{10, 45, 110, 96, 12}));
}

TEST(MessageAnnouncement, MinutesAndDaysPastTwentyAreATensPromptThenTheUnit) {
    EXPECT_EQ(Spoken(1, 31, 12, 40), (std::vector<int>{10, 40, 110, 60, 101, 111, 11}));
    EXPECT_EQ(Spoken(12, 20, 13, 45), (std::vector<int>{10, 51, 79, 90, 111, 94, 11}));
    EXPECT_EQ(Spoken(2, 1, 11, 20), (std::vector<int>{10, 41, 60, 100, 109, 12}));
}

TEST(MessageAnnouncement, ATimeOutsideItsRangeCannotBeSpoken) {
    EXPECT_EQ(Spoken(13, 1, 10, 0), (std::vector<int>{VM_ANNOUNCE_INVALID, 63}));
    EXPECT_EQ(Spoken(1, 32, 10, 0), (std::vector<int>{VM_ANNOUNCE_INVALID, 64}));
    EXPECT_EQ(Spoken(1, 1, 10, 60), (std::vector<int>{VM_ANNOUNCE_INVALID, 67}));
    VM_CCallInfo damaged;
    damaged.VM_SetAttr(VM_CCallInfo::kAttrTime, "20x");
    EXPECT_EQ(VM_GetAnnouncementPrompt(63, VM_GetMessageTime(damaged)), VM_ANNOUNCE_INVALID);
}

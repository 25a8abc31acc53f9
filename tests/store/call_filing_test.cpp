#include "store/call_filing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/app_config.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/user_notices.h"

using storetest::FileSizeLimit;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

class CallFiling : public ::testing::Test {
protected:
    CallFiling() : m_cfg(m_home.path().c_str()) {}

    std::string ListPath(int folderId) {
        std::unique_ptr<char[]> path(m_cfg.VM_GetMessageListFileName(folderId));
        return path.get();
    }

    VM_CCallInfo* Recorded(const std::string& wave, size_t bytes) {
        WriteFileBytes(wave, std::string(bytes, 'r'));
        auto* record = new VM_CCallInfo;
        record->VM_SetAttr(VM_CCallInfo::kAttrName, "Caller");
        record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
        return record;
    }

    TempDir m_home;
    VM_CAppCfg m_cfg;
};

}  // namespace

// Never a second copy of the message: a process dying during a copy would
// leave it twice, and a full disk would refuse it.
TEST_F(CallFiling, TheHandedOverRecordTakesItsRecordingAlongWhereItIs) {
    std::string wave = m_home.file("Msg0000.Wav");
    VM_CCallInfo* record = Recorded(wave, 100);
    record->VM_AddFlags(VM_CCallInfo::kFlagBulkCall);
    std::unique_ptr<VM_CCallInfo> handed(VM_HandOverCallRecord(record));
    EXPECT_EQ(record, nullptr);
    ASSERT_NE(handed, nullptr);
    EXPECT_EQ(handed->VM_GetAttrText(7).value_or(""), wave);
    EXPECT_EQ(ReadFileBytes(wave).size(), 100u);
    EXPECT_EQ(VM_GetDestinationFolder(m_cfg, *handed), m_cfg.m_idBulkCall);
}

TEST_F(CallFiling, OnAFullDiskTheOriginalIsHandedOverWithItsRecording) {
    std::string wave = m_home.file("Msg0000.Wav");
    VM_CCallInfo* record = Recorded(wave, 8192);
    VM_CCallInfo* original = record;
    VM_CCallInfo* handed;
    {
        FileSizeLimit diskFull(1024);
        handed = VM_HandOverCallRecord(record);
    }
    std::unique_ptr<VM_CCallInfo> owned(handed);
    EXPECT_EQ(handed, original);
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(ReadFileBytes(wave).size(), 8192u);
    EXPECT_EQ(VM_GetDestinationFolder(m_cfg, *handed), m_cfg.m_idInbox);
}

TEST_F(CallFiling, ARecordGoesToTheShownListOrToItsFolderFile) {
    VM_CCallInfo prototype;
    VM_CList shown(&prototype, ListPath(4).c_str(), VM_CList::kFileBacked);
    shown.m_id = 4;
    ASSERT_TRUE(VM_FileCallRecord(m_cfg, 1, new VM_CCallInfo, &shown));
    EXPECT_EQ(shown.VM_GetCount(), 0);
    EXPECT_EQ(VM_CList(&prototype, ListPath(1).c_str(), 0).VM_GetCount(), 1);
    ASSERT_TRUE(VM_FileCallRecord(m_cfg, 4, new VM_CCallInfo, &shown));
    EXPECT_EQ(shown.VM_GetCount(), 1);
    EXPECT_TRUE(FileExists(ListPath(4)));
}

// A folder whose list file was damaged (here cut short by a crash) must not
// refuse every call from then on: the file is set aside and a new one made.
TEST_F(CallFiling, ARecordForADamagedFolderIsFiledInANewFile) {
    WriteFileBytes(ListPath(1), "broken");
    testsupport::UserNotices notices;
    ASSERT_TRUE(VM_FileCallRecord(m_cfg, 1, new VM_CCallInfo, nullptr));
    EXPECT_EQ(ReadFileBytes(ListPath(1) + ".damaged"), "broken");
    VM_CCallInfo prototype;
    EXPECT_EQ(VM_CList(&prototype, ListPath(1).c_str(), 0).VM_GetCount(), 1);
    EXPECT_EQ(notices.texts().size(), 1u);
}

TEST_F(CallFiling, OpeningAMessageMarksItReadAndTheFolderNormal) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    tree.VM_Insert(nullptr, new VM_CTreeItem("Phone Calls", 0, 0));
    auto* inbox = new VM_CTreeItem("Inbox", 1, 1);
    tree.VM_Insert(tree.VM_Find(0), inbox);
    inbox->m_nState = VM_CTreeItem::kStateBold;
    VM_CCallInfo prototype;
    VM_CList list(&prototype, ListPath(1).c_str(), VM_CList::kFileBacked);
    list.m_id = 1;
    auto* record = new VM_CCallInfo;
    list.VM_Append(record);
    VM_MarkMessageOpened(list, *record, tree);
    EXPECT_TRUE(record->VM_IsRead());
    EXPECT_FALSE(list.VM_HasChanged());
    EXPECT_EQ(inbox->m_nState, VM_CTreeItem::kStateNormal);
}

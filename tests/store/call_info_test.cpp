#include "store/call_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>
#include <thread>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

using storetest::FileSizeLimit;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

TEST(CallInfoTime, StoredAndDisplayForms) {
    VM_CCallInfo record;
    EXPECT_STREQ(record.VM_GetDisplayTime(), "");
    record.VM_SetTime(2014, 3, 3, 14, 5, 9);
    EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrTime), "2014/03/03, 14:05:09");
    EXPECT_STREQ(record.VM_GetDisplayTime(), "2014/03/03  2:05 PM");
    record.VM_SetTime(2014, 3, 3, 0, 30, 0);
    EXPECT_STREQ(record.VM_GetDisplayTime(), "2014/03/03 12:30 AM");
    record.VM_SetTime(2014, 3, 3, 12, 5, 0);
    EXPECT_STREQ(record.VM_GetDisplayTime(), "2014/03/03 12:05 PM");
    record.VM_SetTime(2014, 3, 3, 23, 59, 0);
    EXPECT_STREQ(record.VM_GetDisplayTime(), "2014/03/03 11:59 PM");
    int y, mo, d, h, mi;
    record.VM_GetTime(y, mo, d, h, mi);
    EXPECT_EQ((std::array<int, 5>{y, mo, d, h, mi}), (std::array<int, 5>{2014, 3, 3, 23, 59}));
}

TEST(CallInfoTime, AShortTimeTextReadsOnlyAsFarAsItGoes) {
    VM_CCallInfo record;
    record.VM_SetAttr(VM_CCallInfo::kAttrTime, "2014/07/2");
    int y = -1, mo = -1, d = -1, h = -1, mi = -1;
    record.VM_GetTime(y, mo, d, h, mi);
    EXPECT_EQ(y, 2014);
    EXPECT_EQ(mo, 7);
    EXPECT_EQ(d, 2);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(mi, 0);
}

TEST(CallInfoFields, MailboxAndLength) {
    VM_CCallInfo record;
    EXPECT_EQ(record.VM_GetAttr(VM_CCallInfo::kAttrMailbox), nullptr);
    EXPECT_EQ(record.VM_GetMailbox(), 0);
    EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrMailbox), "0");
    record.VM_SetMailbox(7);
    record.VM_SetMailbox(-1);
    EXPECT_EQ(record.VM_GetMailbox(), 7);
    record.VM_SetLength(0);
    EXPECT_EQ(record.VM_GetAttr(VM_CCallInfo::kAttrLength), nullptr);
    EXPECT_EQ(record.VM_GetLength(), 0);
    record.VM_SetLength(42);
    EXPECT_EQ(record.VM_GetLength(), 42);
}

TEST(CallInfoRecording, RecordedTextAndAVanishedFile) {
    TempDir dir;
    std::string wave = dir.file("Msg0000.Wav");
    WriteFileBytes(wave, "RIFF");
    VM_CCallInfo record;
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
    EXPECT_STREQ(record.VM_GetRecordedText(), "Yes");
    record.VM_AddFlags(VM_CCallInfo::kFlagBlocked);
    EXPECT_STREQ(record.VM_GetRecordedText(), "Blocked");
    record.VM_ClearFlags(VM_CCallInfo::kFlagBlocked);
    std::remove(wave.c_str());
    EXPECT_STREQ(record.VM_GetRecordedText(), "No");
    EXPECT_EQ(record.VM_GetAttr(VM_CCallInfo::kAttrWaveFile), nullptr);
}

// A recording that cannot be looked at now (here a link loop stands for a
// permission or I/O error, which root would not see) is not a missing one.
TEST(CallInfoRecording, AFileThatCannotBeCheckedKeepsItsLink) {
    TempDir dir;
    const std::string wave = dir.file("Msg0001.Wav");
    ASSERT_EQ(symlink(dir.file("loop").c_str(), wave.c_str()), 0);
    ASSERT_EQ(symlink(wave.c_str(), dir.file("loop").c_str()), 0);
    VM_CCallInfo record;
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
    EXPECT_EQ(record.VM_GetWaveFile(), nullptr);
    ASSERT_NE(record.VM_GetAttr(VM_CCallInfo::kAttrWaveFile), nullptr) << "the link was dropped";
    EXPECT_EQ(std::string(record.VM_GetAttr(VM_CCallInfo::kAttrWaveFile)), wave);
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, dir.file("gone/Msg0002.Wav").c_str());
    EXPECT_EQ(record.VM_GetWaveFile(), nullptr);
    EXPECT_EQ(record.VM_GetAttr(VM_CCallInfo::kAttrWaveFile), nullptr) << "a file in a missing folder is missing";
}

TEST(CallInfoRecording, CloneCopiesTheRecordingAndDeleteRemovesIt) {
    TempDir dir;
    std::string wave = dir.file("Msg0000.Wav");
    WriteFileBytes(wave, "recorded sound");
    auto* record = new VM_CCallInfo;
    record->m_id = 12;
    record->VM_SetAttr(VM_CCallInfo::kAttrName, "Ann");
    record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
    auto* copy = static_cast<VM_CCallInfo*>(record->VM_Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->m_id, 0);
    EXPECT_STREQ(copy->VM_GetAttr(VM_CCallInfo::kAttrName), "Ann");
    std::string copied = copy->VM_GetAttr(VM_CCallInfo::kAttrWaveFile);
    EXPECT_EQ(copied, dir.file("Msg0001.Wav"));
    EXPECT_EQ(ReadFileBytes(copied), "recorded sound");
    record->VM_Delete();
    EXPECT_FALSE(FileExists(wave));
    EXPECT_TRUE(FileExists(copied));
    delete copy;  // plain destruction keeps the file
    EXPECT_TRUE(FileExists(copied));
}

TEST(CallInfoRecording, ACloneWhoseRecordingCannotBeCopiedIsNone) {
    TempDir dir;
    std::string wave = dir.file("Msg0000.Wav");
    WriteFileBytes(wave, std::string(8192, 's'));
    VM_CCallInfo record;
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
    VM_CItem* copy;
    {
        FileSizeLimit diskFull(1024);
        copy = record.VM_Clone();
    }
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(ReadFileBytes(wave).size(), 8192u);
}

TEST(CallInfoDetail, SizeTexts) {
    EXPECT_EQ(VM_FormatRecordingSize(0), "0 Bytes");
    EXPECT_EQ(VM_FormatRecordingSize(1024), "1024 Bytes");
    EXPECT_EQ(VM_FormatRecordingSize(1536), "1.5 KB");
    EXPECT_EQ(VM_FormatRecordingSize(1024 * 1024), "1024.0 KB");
    EXPECT_EQ(VM_FormatRecordingSize(3 * 1024 * 1024 / 2), "1.5 MB");
    EXPECT_EQ(VM_FormatRecordingSize(0xFFFFFFFFull), "4.0 GB");
    EXPECT_EQ(VM_FormatRecordingSize(0x100000000ull), "Huge");
}

TEST(CallInfoDetail, DialogTexts) {
    TempDir dir;
    std::string wave = dir.file("Msg0000.Wav");
    WriteFileBytes(wave, std::string(2048, 's'));
    VM_CCallInfo record;
    record.VM_SetTime(2020, 1, 2, 0, 30, 0);
    VM_SCallDetailTexts texts = VM_GetCallDetailTexts(record);
    EXPECT_EQ(texts.calledTime, "2020/01/02 12:30 AM");
    EXPECT_EQ(texts.mailbox, "0");
    EXPECT_EQ(texts.callLength, "0 second");
    EXPECT_EQ(texts.callBlocked, "No");
    EXPECT_EQ(texts.size, "No recording");
    EXPECT_EQ(texts.emailNotified, "No");

    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
    record.VM_SetLength(5);
    record.VM_AddFlags(VM_CCallInfo::kFlagNotify);
    texts = VM_GetCallDetailTexts(record);
    EXPECT_EQ(texts.callLength, "5 seconds");
    EXPECT_EQ(texts.size, "2.0 KB");
    EXPECT_EQ(texts.emailNotified, "Yes");

    record.VM_AddFlags(VM_CCallInfo::kFlagNotifyFailed | VM_CCallInfo::kFlagBlocked);
    texts = VM_GetCallDetailTexts(record);
    EXPECT_EQ(texts.emailNotified, "Failed");
    EXPECT_EQ(texts.callBlocked, "Yes");
    EXPECT_EQ(texts.size, "No recording");
}

// The answer machine and the call's worker thread fill the same record.
TEST(CallInfoConcurrency, AttributesSetFromTwoThreadsStayWhole) {
    VM_CCallInfo record;
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            record.VM_SetMailbox(i % 10);
            record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, (i % 2) ? "/tmp/a.Wav" : "/tmp/bb.Wav");
        }
    });
    for (int i = 0; i < 2000; ++i) {
        record.VM_AddFlags(1u << (i % 6));
        std::optional<std::string> wave = record.VM_GetAttrText(VM_CCallInfo::kAttrWaveFile);
        if (wave) {
            EXPECT_TRUE(*wave == "/tmp/a.Wav" || *wave == "/tmp/bb.Wav");
        }
    }
    worker.join();
    EXPECT_EQ(record.VM_GetFlags(), 0x3Fu);
}

// What a start makes of the messages of calls the last run did not live to
// file: repaired and filed once, with the caller its journal kept.
#include "store/message_recovery.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/wave_file.h"
#include "audio/wave_test_files.h"
#include "store/app_config.h"
#include "store/call_journal.h"
#include "store/delete_journal.h"
#include "store/list.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/user_notices.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

std::vector<int16_t> Samples(size_t count) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
    return samples;
}

// A recording as the recorder leaves it when its process dies: the format
// written, the RIFF and data sizes still the zeros of its creation.
std::string KilledRecording(const std::string& samples, bool withFormat) {
    std::string file = "RIFF";
    wavetest::PutLe32(file, 0);
    file += "WAVEfmt ";
    wavetest::PutLe32(file, 18);
    file += withFormat ? wavetest::FormatBody(wavetest::Format(WAVE_FORMAT_PCM, 16)) : std::string(18, '\0');
    file += "data";
    wavetest::PutLe32(file, 0);
    return file + samples;
}

class MessageRecovery : public ::testing::Test {
protected:
    MessageRecovery() : m_cfg(m_home.path().c_str()) {
        m_cfg.m_idInbox = 1;
        std::unique_ptr<char[]> voice(m_cfg.VM_GetPath(VM_FOLDER_VOICE, nullptr));
    }

    std::string Voice(const char* name) { return m_home.file("Voice/") + name; }

    // The journal a call answered from this caller leaves.
    std::string Journal(const char* name, const char* number) {
        VM_CCallInfo record;
        record.VM_SetAttr(VM_CCallInfo::kAttrName, name);
        record.VM_SetAttr(VM_CCallInfo::kAttrNumber, number);
        record.VM_SetTime(2024, 5, 6, 7, 8, 9);
        EXPECT_TRUE(VM_WriteCallJournal(m_cfg, record));
        return record.VM_GetJournal();
    }

    std::vector<std::unique_ptr<VM_CCallInfo>> Inbox() {
        std::unique_ptr<char[]> file(m_cfg.VM_GetMessageListFileName(1));
        VM_CCallInfo prototype;
        VM_CList list(&prototype, file.get(), 0);
        std::vector<std::unique_ptr<VM_CCallInfo>> records;
        while (list.VM_GetCount() > 0) {
            records.emplace_back(static_cast<VM_CCallInfo*>(list.VM_GetAt(0)));
            list.VM_RemoveAt(0, false);
        }
        return records;
    }

    testsupport::TempDir m_home;
    VM_CAppCfg m_cfg;
};

TEST_F(MessageRecovery, AKilledRecordingIsFiledOnceWithItsCallerAndWhatCannotBePlayedIsSetAside) {
    const std::string samples = wavetest::Pcm16Bytes(Samples(12000));
    // A message a call log names already, a name reserved before anything
    // was recorded, and samples whose format never reached the disk.
    {
        std::unique_ptr<char[]> inbox(m_cfg.VM_GetMessageListFileName(1));
        VM_CCallInfo prototype;
        VM_CList list(&prototype, inbox.get(), VM_CList::kFileBacked);
        list.m_id = 1;
        auto* filed = new VM_CCallInfo;
        filed->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, Voice("Msg0000.Wav").c_str());
        list.VM_Append(filed);
        ASSERT_TRUE(list.VM_Save());
    }
    // Answered, then recorded into.
    const std::string journal = Journal("Ann", "5550100");
    WriteFileBytes(Voice("Msg0000.Wav"), KilledRecording(samples, true));
    WriteFileBytes(Voice("Msg0001.Wav"), KilledRecording(samples + "x", true));  // cut inside a sample
    WriteFileBytes(Voice("Msg0002.Wav"), "");
    WriteFileBytes(Voice("Msg0003.Wav"), KilledRecording(samples, false));
    testsupport::UserNotices notices;

    const VM_SRecovery done = VM_RecoverInterruptedMessages(m_cfg);
    EXPECT_EQ(done.filed, 1);
    EXPECT_EQ(done.discarded, 1);
    EXPECT_EQ(done.setAside, 1);
    EXPECT_EQ(ReadFileBytes(Voice("Msg0000.Wav")), KilledRecording(samples, true)) << "a filed message is not touched";
    EXPECT_FALSE(FileExists(Voice("Msg0002.Wav")));
    EXPECT_TRUE(FileExists(Voice("Msg0003.Wav.damaged")));
    EXPECT_FALSE(FileExists(journal));

    auto inbox = Inbox();
    ASSERT_EQ(inbox.size(), 2u);
    VM_CCallInfo& recovered = *inbox[1];
    EXPECT_STREQ(recovered.VM_GetAttr(VM_CCallInfo::kAttrName), "Ann");
    EXPECT_STREQ(recovered.VM_GetAttr(VM_CCallInfo::kAttrNumber), "5550100");
    EXPECT_STREQ(recovered.VM_GetAttr(VM_CCallInfo::kAttrTime), "2024/05/06, 07:08:09");
    EXPECT_STREQ(recovered.VM_GetAttr(VM_CCallInfo::kAttrNotes), VM_RECOVERED_CALL_NOTE);
    EXPECT_EQ(recovered.VM_GetLength(), 2);
    ASSERT_NE(recovered.VM_GetWaveFile(), nullptr);
    VM_CWaveFile wave(recovered.VM_GetWaveFile(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(wave.VM_IsOpen());
    EXPECT_EQ(wavetest::ReadAllData(wave), samples) << "every whole sample, unchanged";

    int told = 0;
    for (const std::string& text : notices.texts()) told += text.find("recovered") != std::string::npos;
    EXPECT_EQ(told, 1);
    EXPECT_EQ(VM_RecoverInterruptedMessages(m_cfg).filed, 0) << "filed once, and told once";
}

TEST_F(MessageRecovery, ARecordingDeletedForGoodJustBeforeADeathDoesNotComeBack) {
    const std::string samples = wavetest::Pcm16Bytes(Samples(8000));
    // Its list was written without it; the program died before the file went.
    WriteFileBytes(Voice("Msg0004.Wav"), KilledRecording(samples, true));
    ASSERT_TRUE(VM_WriteDeleteJournal(m_cfg, {"Msg0004.Wav"}));
    WriteFileBytes(Voice("Msg0005.Wav"), KilledRecording(samples, true));

    EXPECT_EQ(VM_RecoverInterruptedMessages(m_cfg).filed, 1);
    EXPECT_FALSE(FileExists(Voice("Msg0004.Wav")));
    ASSERT_EQ(Inbox().size(), 1u);
    EXPECT_TRUE(VM_ReadDeleteJournal(m_cfg).empty());
}

TEST_F(MessageRecovery, OnAFullDiskTheMessageAndItsJournalWaitForTheNextStart) {
    const std::string samples = wavetest::Pcm16Bytes(Samples(8000));
    const std::string journal = Journal("Bob", "5550199");
    WriteFileBytes(Voice("Msg0000.Wav"), KilledRecording(samples, true));
    {
        storetest::FileSizeLimit diskFull(64);  // room for a header, not for the Inbox
        EXPECT_EQ(VM_RecoverInterruptedMessages(m_cfg).unfiled, 1);
    }
    EXPECT_TRUE(FileExists(journal));
    EXPECT_TRUE(Inbox().empty());
    EXPECT_EQ(VM_RecoverInterruptedMessages(m_cfg).filed, 1);
    auto inbox = Inbox();
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_STREQ(inbox[0]->VM_GetAttr(VM_CCallInfo::kAttrNumber), "5550199");
    EXPECT_FALSE(FileExists(journal));
}

}  // namespace

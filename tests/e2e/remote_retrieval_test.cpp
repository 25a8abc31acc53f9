// The owner calls in: # during the greeting, the password by touch tone, then
// the Inbox's messages announced, played, stepped through and deleted. Which
// prompts the caller heard is read from the audio the line carried.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "e2e/flow_call.h"
#include "store/list.h"

namespace {

using e2e::HeardInARow;
using e2e::Names;

// Enough of a clip to know it started playing (a tenth of a second).
constexpr size_t kStarted = 800;

std::string Joined(const std::vector<e2e::HeardClip>& heard) {
    std::string text;
    for (const e2e::HeardClip& clip : heard) text += clip.name + "(" + std::to_string(clip.samples) + (clip.whole ? "!" : "") + ") ";
    return text;
}

class RemoteRetrievalConcurrency : public e2e::FlowCallTest {
protected:
    // Greeting, #, the retrieval menu, 1: the current password is asked for.
    void ReachPasswordEntry(char menuKey = '1') {
        ASSERT_TRUE(Connect());
        ASSERT_TRUE(HearAtLeast("GTMain", kStarted));
        Press("#");
        ASSERT_TRUE(HearAtLeast("Prp0016", kStarted)) << Joined(Heard());
        Press(std::string(1, menuKey));
        ASSERT_TRUE(HearAtLeast(menuKey == '1' ? "Prp0006" : "Prp0001", kStarted)) << Joined(Heard());
    }
    void LogIn() {
        ReachPasswordEntry();
        Press("908172#");
        ASSERT_TRUE(HearAtLeast("Prp0007", kStarted)) << Joined(Heard());
    }
    std::vector<std::string> ListNames(int folderId) {
        std::unique_ptr<char[]> path(m_cfg->VM_GetMessageListFileName(folderId));
        VM_CCallInfo prototype;
        VM_CList list(&prototype, path.get(), 0);
        std::vector<std::string> names;
        for (int i = 0; i < list.VM_GetCount(); ++i) {
            auto name = list.VM_GetAt(i)->VM_GetAttrText(VM_CCallInfo::kAttrName);
            names.push_back(name.value_or(""));
        }
        return names;
    }
};

}  // namespace

TEST_F(RemoteRetrievalConcurrency, TheRightPasswordOpensTheMessagesAndTheCallIsNotLogged) {
    LogIn();
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0016", "Prp0006", "Prp0007"})) << Joined(Heard());
    EXPECT_EQ(m_logFlag, 0) << "a retrieval call is not entered in the call log";
    HangUp();
    EXPECT_FALSE(m_flowEnded);
}

TEST_F(RemoteRetrievalConcurrency, AWrongPasswordIsToldAndLeadsBackToTheGreeting) {
    ReachPasswordEntry();
    Press("123456#");
    ASSERT_TRUE(HearAtLeast("GTMain", kStarted, 2)) << Joined(Heard());
    const std::vector<e2e::HeardClip> heard = Heard();
    EXPECT_TRUE(HeardInARow(heard, {"Prp0016", "Prp0006", "Prp0002", "GTMain"})) << Joined(heard);
    EXPECT_TRUE(heard[heard.size() - 2].whole) << "the wrong-password prompt is played to its end";
    EXPECT_EQ(m_logFlag, 1);
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, ThePasswordWithOneDigitTooManyIsWrong) {
    ReachPasswordEntry();
    Press("9081723#");
    ASSERT_TRUE(HearAtLeast("GTMain", kStarted, 2)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0006", "Prp0002", "GTMain"})) << Joined(Heard());
    EXPECT_EQ(HeardSamples(Heard(), "Prp0007"), 0u);
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, TheDefaultPasswordResetsTheCurrentOneAndOpensTheMessages) {
    m_cfg->m_szPassword.VM_Set("4711");
    ReachPasswordEntry('2');
    Press("908172#");
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0016", "Prp0001", "Prp0004", "Prp0007"})) << Joined(Heard());
    EXPECT_EQ(m_cfg->m_szPassword.VM_String(), "908172");
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, MessagesAreAnnouncedPlayedSteppedAndRepeatedByTouchTone) {
    StoreMessage("May1", 5, 1, 8, 15, 500.0);
    StoreMessage("May3", 5, 3, 21, 5, 900.0);
    StoreMessage("May2", 5, 2, 13, 40, 700.0);
    LogIn();
    Press("1");  // the newest
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 2)) << Joined(Heard());
    Press("2");  // older
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 3)) << Joined(Heard());
    Press("1");  // again
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 4)) << Joined(Heard());
    Press("2");  // the oldest
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 5)) << Joined(Heard());
    Press("2");  // nothing older
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 6)) << Joined(Heard());
    Press("3");  // newer again
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 7)) << Joined(Heard());
    const std::vector<e2e::HeardClip> heard = Heard();
    // 3 May at 9:05 p.m.; 2 May at 1:40 p.m. (twice); 1 May at 8:15 a.m.
    const std::vector<std::string> may3 = {"Prp0010", "Prp0044", "Prp0062", "Prp0098", "Prp0094", "Prp0011", "May3"};
    const std::vector<std::string> may2 = {"Prp0010", "Prp0044", "Prp0061", "Prp0090", "Prp0111", "Prp0011", "May2"};
    const std::vector<std::string> may1 = {"Prp0010", "Prp0044", "Prp0060", "Prp0097", "Prp0104", "Prp0012", "May1"};
    std::vector<std::string> expected = {"Prp0007"};
    for (const auto* part : {&may3, &may2, &may2, &may1}) {
        expected.insert(expected.end(), part->begin(), part->end());
        expected.push_back("Prp0007");
    }
    expected.insert(expected.end(), {"Prp0008", "Prp0007"});
    expected.insert(expected.end(), may2.begin(), may2.end());
    expected.push_back("Prp0007");
    EXPECT_TRUE(HeardInARow(heard, expected)) << Joined(heard);
    for (const e2e::HeardClip& clip : heard)
        if (clip.name.rfind("May", 0) == 0) {
            EXPECT_TRUE(clip.whole) << clip.name << " was cut short";
        }
    HangUp();
    EXPECT_EQ(ListNames(m_cfg->m_idInbox).size(), 3u) << "listening deletes nothing";
}

TEST_F(RemoteRetrievalConcurrency, ADeletedMessageLeavesTheInboxForDeletedMessages) {
    StoreMessage("May1", 5, 1, 8, 15, 500.0);
    StoreMessage("May2", 5, 2, 13, 40, 700.0, 20.0);  // long enough to be cut short
    LogIn();
    Press("1");
    ASSERT_TRUE(HearAtLeast("May2", kStarted)) << Joined(Heard());
    Press("4");  // during the message: it stops and goes
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 2)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"May2", "Prp0009", "Prp0007"})) << Joined(Heard());
    ASSERT_EQ(m_deletes, std::vector<bool>{true});
    EXPECT_EQ(ListNames(m_cfg->m_idInbox), std::vector<std::string>{"May1"});
    EXPECT_EQ(ListNames(m_cfg->m_idDeleted), std::vector<std::string>{"May2"});
    Press("1");  // the next older message is now the current one
    ASSERT_TRUE(HearAtLeast("May1", kStarted)) << Joined(Heard());
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, AMessageWhoseRecordingIsGoneOrDamagedIsAnnouncedThenSaysSo) {
    StoreMessage("May1", 5, 1, 8, 15, 500.0);
    StoreMessage("May2", 5, 2, 13, 40, 700.0);
    std::unique_ptr<char[]> voice(m_cfg->VM_GetPath("/Voice", nullptr));
    // The newest recording is gone, the older one is not a WAVE file any more.
    ASSERT_EQ(std::remove((std::string(voice.get()) + "/Msg0001.Wav").c_str()), 0);
    testsupport::WriteFileBytes(std::string(voice.get()) + "/Msg0000.Wav", "not a wave file");
    LogIn();
    Press("1");
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 2)) << Joined(Heard());
    Press("2");
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted, 3)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0011", "Prp0013", "Prp0007", "Prp0010"})) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0012", "Prp0013", "Prp0007"})) << Joined(Heard());
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, AnAbsentPasswordNeverMatchesNotEvenAnEmptyEntry) {
    m_cfg->m_szPassword.VM_Clear();
    ReachPasswordEntry();
    Press("#");
    ASSERT_TRUE(HearAtLeast("GTMain", kStarted, 2)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0006", "Prp0002", "GTMain"})) << Joined(Heard());
    EXPECT_EQ(m_logFlag, 1);
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, TheHundredthDigitIsRefusedWithoutWaitingForThePoundKey) {
    m_cfg->m_szPassword.VM_Set(std::string(99, '1').c_str());
    ReachPasswordEntry();
    Press(std::string(100, '1'));
    ASSERT_TRUE(HearAtLeast("GTMain", kStarted, 2)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0006", "Prp0002", "GTMain"})) << Joined(Heard());
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, PoundDuringTheRecordingDeletesThePartialMessageAndTheCallIsNotLogged) {
    ASSERT_TRUE(Connect());
    // The recording has started once the record names its message file.
    ASSERT_TRUE(RunUntil([&] { return m_record.VM_GetAttrText(VM_CCallInfo::kAttrWaveFile).has_value(); }));
    const std::string partial = *m_record.VM_GetAttrText(VM_CCallInfo::kAttrWaveFile);
    Press("#");
    ASSERT_TRUE(HearAtLeast("Prp0016", kStarted)) << Joined(Heard());
    EXPECT_FALSE(m_record.VM_GetAttrText(VM_CCallInfo::kAttrWaveFile).has_value());
    EXPECT_FALSE(testsupport::FileExists(partial));
    Press("1");
    ASSERT_TRUE(HearAtLeast("Prp0006", kStarted)) << Joined(Heard());
    Press("908172#");
    ASSERT_TRUE(HearAtLeast("Prp0007", kStarted)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"GTMain", "Prp0000", "Prp0016", "Prp0006", "Prp0007"})) << Joined(Heard());
    EXPECT_EQ(m_logFlag, 0);
    HangUp();
}

TEST_F(RemoteRetrievalConcurrency, WithSeveralMailboxesOnlyTheChosenMailboxsMessagesArePlayed) {
    StoreMessage("Box5", 5, 1, 8, 15, 500.0, 1.0, 5);
    StoreMessage("Box2", 5, 2, 13, 40, 700.0, 1.0, 2);
    MakeController(true);
    ReachPasswordEntry();
    Press("908172#");
    ASSERT_TRUE(HearAtLeast("Prp0015", kStarted)) << Joined(Heard());
    Press("5");
    ASSERT_TRUE(HearAtLeast("Prp0018", kStarted)) << Joined(Heard());
    Press("1");
    ASSERT_TRUE(HearAtLeast("Prp0018", kStarted, 2)) << Joined(Heard());
    Press("#");  // another mailbox
    ASSERT_TRUE(HearAtLeast("Prp0015", kStarted, 2)) << Joined(Heard());
    Press("7");
    ASSERT_TRUE(HearAtLeast("Prp0018", kStarted, 3)) << Joined(Heard());
    Press("1");
    ASSERT_TRUE(HearAtLeast("Prp0018", kStarted, 4)) << Joined(Heard());
    EXPECT_TRUE(HeardInARow(Heard(), {"Prp0006", "Prp0015", "Prp0018", "Prp0010", "Prp0044", "Prp0060", "Prp0097",
                                      "Prp0104", "Prp0012", "Box5", "Prp0018", "Prp0015", "Prp0018", "Prp0008",
                                      "Prp0018"}))
        << Joined(Heard());
    EXPECT_EQ(HeardSamples(Heard(), "Box2"), 0u);
    EXPECT_EQ(m_logFlag, 0);
    HangUp();
}

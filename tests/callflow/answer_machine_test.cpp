// The answer machine on the simulated line: rings, answering, blocking,
// every way a call ends, the record it files and the line it reopens.
#include <gtest/gtest.h>

#include "callflow/answer_machine_harness.h"
#include "callflow/modem_table.h"
#include "platform/win32/win32.h"
#include "store/addr_entry.h"
#include "telephony/line_harness.h"
#include "telephony/tapi_session.h"

namespace amtest {
namespace {

class AnswerMachine : public AnswerMachineTest {
protected:
    // Line 0 opened, the machine waiting for a call.
    void Start(simline::LineConfig line = {}) {
        UseLines({line});
        ASSERT_TRUE(Machine().VM_Start());
    }
    // Rings until answered; the number of rings it took.
    int RingsToAnswer(simline::SimCall& call, int limit = 10) {
        for (int n = 1; n <= limit; n++) {
            Ring(call);
            if (call.AnswerRequests() > 0) return n;
        }
        return -1;
    }
    void Connect(simline::SimCall& call) {
        ASSERT_GT(RingsToAnswer(call), 0);
        ASSERT_TRUE(PumpUntil([&] { return Machine().controller->starts == 1; })) << "not handed to the controller";
    }
    // The call went idle, its record (if any) was posted and the line reopened.
    void WaitForRestart(HLINE before) {
        ASSERT_TRUE(PumpUntil([&] {
            return Machine().VM_IsStarted() && Machine().VM_GetLineHandle() != before && !Machine().VM_HasCall();
        })) << "the line was not reopened";
        PumpPending();  // what the restart posted
    }
    HLINE Opens() { return Machine().VM_GetLineHandle(); }
};

TEST_F(AnswerMachine, CallerHangingUpWhileRingingIsFiledWithoutRecordingAndTheNextCallIsAnswered) {
    Start();
    auto first = Offer("5550100");
    Ring(*first);
    const HLINE opens = Opens();
    ASSERT_TRUE(first->HangUp());
    // The restart is posted, never made inside the telephony callback.
    PumpUntil([&] { return Count(VM_MSG_RESTART_LINE) > 0; });
    WaitForRestart(opens);
    EXPECT_TRUE(Saw("Caller hung up, dropping call... \n"));
    EXPECT_EQ(0, Machine().controller->starts) << "an unanswered call reached the call flow";
    ASSERT_EQ(1u, m_records.size());
    EXPECT_EQ(m_cfg->m_idInbox, m_records[0].folder);
    EXPECT_EQ(nullptr, m_records[0].record->VM_GetWaveFile());
    EXPECT_EQ(0, m_records[0].record->VM_GetLength());
    EXPECT_EQ(1, Count(VM_MSG_CALL_ENDED));
    EXPECT_TRUE(first->Released());

    auto second = Offer("5550101");
    EXPECT_EQ(3, RingsToAnswer(*second));
}

// Silence detection can only end a connected call: a disconnect while it
// rings is never ignored, or the line would stay taken by a dead call. The
// rule is for lines whose disconnects may be mistaken, as a voice modem's.
TEST_F(AnswerMachine, WithSilenceDetectionOnlyAYoungConnectedCallIgnoresTheDisconnect) {
    simline::LineConfig modemLike;
    modemLike.reliableDisconnect = false;
    Start(modemLike);
    m_cfg->m_nSilenceSeconds = 10;
    m_cfg->m_nSilenceLevel = 8;
    auto ringing = Offer("5550100");
    Ring(*ringing);
    HLINE opens = Opens();
    ringing->HangUp();
    WaitForRestart(opens);
    EXPECT_TRUE(Saw("Caller hung up, dropping call... \n"));
    EXPECT_EQ(1u, m_records.size());

    auto connected = Offer("5550101");
    Connect(*connected);
    connected->HangUp();
    PumpPending();
    EXPECT_TRUE(Machine().VM_HasCall()) << "left to the silence detection";
    opens = Opens();
    PostMessageA(m_hWnd, VM_MSG_FLOW_ENDED, reinterpret_cast<WPARAM>(Machine().controller), 0);
    WaitForRestart(opens);
    EXPECT_EQ(2u, m_records.size());
}

TEST_F(AnswerMachine, RestartAskedForByAnEndedCallSparesTheNextCall) {
    Start();
    auto first = Offer("5550100");
    Connect(*first);
    first->HangUp();
    ASSERT_TRUE(PumpUntil([&] { return !Machine().VM_HasCall(); }));
    // The restart is queued; a call offered before it runs must survive it.
    LRESULT result = 0;
    const LPARAM staleSerial = 1;
    auto second = m_service->OfferCall(0, {});
    while (Count(VM_MSG_CALL_STARTED) < 2) {
        MSG msg;
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        if (msg.message == VM_MSG_RESTART_LINE) continue;  // held back
        DispatchMessageA(&msg);
    }
    EXPECT_TRUE(Machine().VM_OnMessage(m_hWnd, VM_MSG_RESTART_LINE, Machine().VM_Self(), staleSerial, result));
    EXPECT_TRUE(Machine().VM_HasCall());
    EXPECT_EQ(3, RingsToAnswer(*second)) << "still ringing on the same line";
}

// The program stops the machine while the restart asked for by the last
// call's end is still queued: the line stays closed.
TEST_F(AnswerMachine, RestartStillQueuedWhenTheMachineStopsLeavesTheLineClosed) {
    Start();
    auto call = Offer("5550100");
    Connect(*call);
    call->HangUp();
    MSG restart{};
    ASSERT_TRUE(PumpUntil([&] {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, VM_MSG_RESTART_LINE, VM_MSG_RESTART_LINE, PM_REMOVE)) restart = msg;
        return restart.message == VM_MSG_RESTART_LINE;
    }));
    ASSERT_TRUE(Machine().VM_Stop());
    DispatchMessageA(&restart);
    PumpPending();
    EXPECT_FALSE(Machine().VM_IsStarted()) << "the line was reopened after the stop";
}

TEST_F(AnswerMachine, CallOfferedWhileTheLineWasClosedIsAnsweredAfterItReopens) {
    Start();
    ASSERT_TRUE(Machine().VM_Stop());
    auto call = m_service->OfferCall(0, {});  // between a close and the reopening
    ASSERT_TRUE(Machine().VM_Start());
    PumpPending();
    EXPECT_FALSE(Machine().VM_HasCall());
    EXPECT_EQ(3, RingsToAnswer(*call)) << "shown at its next ring";
}

TEST_F(AnswerMachine, RingsCountedByTheServiceOrByTheMachineAndTheTollSaver) {
    simline::LineConfig counting;
    simline::LineConfig silent;
    silent.countsRings = false;
    for (const simline::LineConfig& line : {counting, silent}) {
        SCOPED_TRACE(line.countsRings ? "service counts" : "service does not count");
        Start(line);
        m_cfg->VM_SetFlag(true, VM_FLAG_TOLL_SAVER);
        m_tollSaver.VM_SetNoNewMessages(1);
        auto call = Offer("5550100");
        EXPECT_EQ(5, RingsToAnswer(*call)) << "no new message: two more rings";
        EXPECT_TRUE(Saw("Auto answering call...\n"));
        HLINE opens = Opens();
        call->HangUp();
        WaitForRestart(opens);

        m_tollSaver.VM_SetNoNewMessages(0);
        auto next = Offer("5550100");
        EXPECT_EQ(3, RingsToAnswer(*next)) << "a message waits: the configured rings";
        opens = Opens();
        next->HangUp();
        WaitForRestart(opens);
        m_machine.reset();
        VM_CTapi::VM_Shutdown();
        m_cfg->VM_SetFlag(false, VM_FLAG_TOLL_SAVER);
    }
}

TEST_F(AnswerMachine, BlockedCallerIsAnsweredAtTheFirstRingAfterTheLookup) {
    int32_t folder = AddFolder(0, "Blocked");
    AddEntry(folder, {"Pest", "555-0199", nullptr, nullptr, VM_CAddrEntry::kFlagBlockTone});
    AddEntry(folder, {"Late pest", "555-0198", nullptr, nullptr, VM_CAddrEntry::kFlagBlockHangUp});
    Start();

    // Caller ID at the offering: the book is consulted from the second ring.
    auto call = Offer("5550199");
    EXPECT_EQ(2, RingsToAnswer(*call));
    EXPECT_TRUE(Saw("Blocking this caller...\n"));
    EXPECT_TRUE(Saw("caller Pest / 5550199"));
    const HLINE opens = Opens();
    call->HangUp();
    WaitForRestart(opens);
    ASSERT_EQ(1u, m_records.size());
    EXPECT_TRUE(m_records[0].record->VM_GetFlags() & VM_CCallInfo::kFlagBlocked);
    EXPECT_STREQ("Pest", m_records[0].record->VM_GetAttr(VM_CCallInfo::kAttrName));

    // Caller ID reported late: answered on the report itself.
    auto late = Offer(nullptr, nullptr, true);
    Ring(*late);
    EXPECT_EQ(0u, late->AnswerRequests());
    simline::CallerId id;
    id.number = "555-0198";
    late->ReportCallerId(id);
    ASSERT_TRUE(PumpUntil([&] { return late->AnswerRequests() == 1; }));
}

TEST_F(AnswerMachine, AnsweredCallGoesToTheControllerAndEndsWhenTheCallerHangsUp) {
    Start();
    auto call = Offer("5550100", "Ann");
    Connect(*call);
    FakeController& controller = *Machine().controller;
    EXPECT_EQ(Machine().VM_HasCall(), true);
    EXPECT_NE(controller.status, nullptr) << "the caller-ID window is the call's status display";
    ASSERT_TRUE(call->PressDigit('5'));
    ASSERT_TRUE(PumpUntil([&] { return !controller.digits.empty(); }));
    EXPECT_EQ(static_cast<WPARAM>('5'), controller.digits[0]);

    const HLINE opens = Opens();
    call->HangUp();
    WaitForRestart(opens);
    EXPECT_GE(Machine().controllerStops, 1);
    ASSERT_EQ(1u, m_records.size());
    EXPECT_STREQ("Ann", m_records[0].record->VM_GetAttr(VM_CCallInfo::kAttrName));
    EXPECT_STREQ("5550100", m_records[0].record->VM_GetAttr(VM_CCallInfo::kAttrNumber));
    EXPECT_EQ(1, Count(VM_MSG_CALL_STARTED));
    EXPECT_EQ(1, Count(VM_MSG_CALL_ENDED));
}

TEST_F(AnswerMachine, CallFlowThatClearsTheLogFlagFilesNothing) {
    Start();
    Machine().clearLogFlag = true;
    Machine().VM_Restart(Machine().VM_Self());  // a controller that clears it
    auto call = Offer("5550100");
    Connect(*call);
    const HLINE opens = Opens();
    call->HangUp();
    WaitForRestart(opens);
    EXPECT_TRUE(m_records.empty());
}

TEST_F(AnswerMachine, TimeLimitAndTheHangUpButtonEndTheCall) {
    Start();
    m_cfg->m_nMaxCallMinutes = 1;
    auto call = Offer("5550100");
    Connect(*call);
    HLINE opens = Opens();
    ASSERT_TRUE(PumpUntil([&] { return Count(AM_MSG_HANGUP) == 1; }));
    WaitForRestart(opens);
    EXPECT_TRUE(Saw("Time limit of the call reached, dropping call... \n"));
    EXPECT_EQ(1u, m_records.size());

    m_cfg->m_nMaxCallMinutes = 0;
    auto next = Offer("5550101");
    Connect(*next);
    opens = Opens();
    PostMessageA(m_hWnd, VM_MSG_USER_HANGUP, Machine().VM_Self(), 0);
    WaitForRestart(opens);
    EXPECT_TRUE(Saw("Called party hung up, dropping call... \n"));
    EXPECT_EQ(0, Count(AM_MSG_HANGUP) - 1) << "no limit, no second time-out";
}

TEST_F(AnswerMachine, HangUpMessagesFromOthersAreNotTaken) {
    Start();
    auto call = Offer("5550100");
    Connect(*call);
    LRESULT result = 0;
    EXPECT_FALSE(Machine().VM_OnMessage(m_hWnd, VM_MSG_USER_HANGUP, 0, 0, result));
    EXPECT_FALSE(Machine().VM_OnMessage(m_hWnd, VM_MSG_RESTART_LINE, 1234, 0, result));
    EXPECT_TRUE(Machine().VM_HasCall());
}

TEST_F(AnswerMachine, UpdatesAfterTheUserClosedTheCallerIDWindowAreHarmless) {
    Start();
    auto call = Offer("5550100");
    Ring(*call);
    ASSERT_FALSE(m_callerID.empty());
    // The window is the call's; find it through the controller once answered.
    Connect(*call);
    auto* window = static_cast<VM_CCallerIDDlg*>(Machine().controller->status);
    window->VM_Close();
    const size_t seen = m_callerID.size();
    window->VM_ShowStatus("Recording voice message...\n");
    const HLINE opens = Opens();
    call->HangUp();
    WaitForRestart(opens);
    EXPECT_EQ(seen, m_callerID.size());
}

TEST_F(AnswerMachine, SecondCallWhileOneIsPresentIsNotTaken) {
    Start();
    auto first = Offer("5550100");
    auto second = m_service->OfferCall(0, {});
    PumpPending();
    Ring(*first);
    EXPECT_EQ(1, Count(VM_MSG_CALL_STARTED));
    second->HangUp();
    PumpPending();
    EXPECT_TRUE(Machine().VM_HasCall());
}

TEST_F(AnswerMachine, StartFailsWithoutAUsableLineAndConfigChangesWithAnsweringOffOpenNothing) {
    UseLines({{}});
    m_cfg->m_idLine = -1;
    EXPECT_FALSE(Machine().VM_Start());
    m_cfg->m_idLine = 5;
    EXPECT_FALSE(Machine().VM_Start());
    EXPECT_FALSE(Machine().VM_IsStarted());
    m_cfg->m_idLine = 0;
    m_cfg->VM_SetFlag(false, VM_FLAG_ANSWERING);
    EXPECT_TRUE(Machine().VM_OnConfigChanged());
    EXPECT_EQ(0, Machine().VM_GetLineID());
    EXPECT_FALSE(Machine().VM_IsStarted());
    EXPECT_EQ(0, m_service->OpenCount(0)) << "nothing opened";

    simline::LineConfig closed;
    closed.failOpen = true;
    m_machine.reset();
    VM_CTapi::VM_Shutdown();
    UseLines({closed});
    EXPECT_FALSE(Machine().VM_Start());
    EXPECT_FALSE(Machine().VM_IsStarted());
}

TEST_F(AnswerMachine, ConfigChangeRestartsOnAnotherMailboxModeAndSwitchesAnsweringOffWhenItFails) {
    Start();
    m_cfg->VM_SetFlag(false, VM_FLAG_SINGLE_MAILBOX);
    EXPECT_TRUE(Machine().VM_OnConfigChanged());
    EXPECT_FALSE(Machine().lastSingle);
    EXPECT_EQ(2, Machine().controllersMade);
    m_cfg->m_idLine = 7;
    EXPECT_FALSE(Machine().VM_OnConfigChanged());
    EXPECT_FALSE(m_cfg->VM_IsFlag(VM_FLAG_ANSWERING));
}

TEST_F(AnswerMachine, ModemTableListsDataModemsAndTheVoiceModemsAmongThem) {
    simline::LineConfig voice;
    voice.name = "";
    simline::LineConfig dataOnly;
    dataOnly.mediaModes = LINEMEDIAMODE_DATAMODEM;
    simline::LineConfig noWave;
    noWave.hasWaveDevices = false;
    simline::LineConfig notAModem;
    notAModem.mediaModes = LINEMEDIAMODE_AUTOMATEDVOICE;
    simline::LineConfig longName;
    longName.name = std::string(150, 'x');
    linetest::FakeAudioFactory audio;
    UseLines({voice, dataOnly, noWave, notAModem, longName});
    ASSERT_TRUE(VM_CAnswerMachine::VM_EnumerateModems());
    ASSERT_EQ(4, g_modemTable.nCount);
    ASSERT_EQ(2, g_modemTable.nVoiceCount);
    EXPECT_STREQ("Unknown", g_modemTable.entries[0].szName);
    EXPECT_EQ(0, g_modemTable.voiceIndexes[0]);
    EXPECT_EQ(3, g_modemTable.voiceIndexes[1]);
    EXPECT_EQ(4, g_modemTable.entries[3].idLine);
    EXPECT_EQ(99u, std::string(g_modemTable.entries[3].szName).size());
    EXPECT_EQ(-1, g_modemTable.entries[2].idWaveIn);
    EXPECT_NE(-1, g_modemTable.entries[0].idWaveOut);
    EXPECT_EQ(0u, VM_CTapi::VM_GetLineApp()) << "the session it opened is closed again";
    EXPECT_NE(nullptr, VM_FindVoiceModem(4));
    EXPECT_EQ(nullptr, VM_FindVoiceModem(1));
}

}  // namespace
}  // namespace amtest

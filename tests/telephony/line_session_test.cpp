// The session and the opening of lines: version negotiation, status
// messages, registration and the routing of events to lines.
#include <thread>

#include "line_harness.h"
#include "support/temp_dir.h"
#include "telephony/var_structs.h"

using linetest::PumpUntil;
using linetest::RecordingOwner;

namespace {

class LineSession : public linetest::SimLineTest {};

class ReinitReceiver : public VM_ITapiCbk {
public:
    void VM_OnReinit(DWORD dwParam2, DWORD dwParam3) override {
        calls++;
        p2 = dwParam2;
        p3 = dwParam3;
    }
    int calls = 0;
    DWORD p2 = 0;
    DWORD p3 = 0;
};

TEST_F(LineSession, SecondInitializeKeepsTheOpenSession) {
    UseLines({simline::LineConfig{}, simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    EXPECT_EQ(VM_CTapi::VM_GetNumLines(), 2u);
    RecordingOwner owner;
    OpenLine(&owner);
    const HLINEAPP app = VM_CTapi::VM_GetLineApp();
    EXPECT_FALSE(VM_CTapi::VM_Initialize());
    EXPECT_EQ(VM_CTapi::VM_GetLineApp(), app);
    EXPECT_EQ(VM_CTapi::VM_GetLines().size(), 1u);
}

TEST_F(LineSession, ShutdownWithoutSessionStillClearsTheLineCount) {
    EXPECT_FALSE(VM_CTapi::VM_Shutdown());
    EXPECT_EQ(VM_CTapi::VM_GetNumLines(), 0u);
}

TEST_F(LineSession, NoLineDevicesClosesTheSessionAgain) {
    UseLines({});
    EXPECT_FALSE(VM_CTapi::VM_Initialize());
    EXPECT_EQ(VM_CTapi::VM_GetLineApp(), 0u);
    EXPECT_EQ(VM_CTapi::VM_GetNumLines(), 0u);
}

TEST_F(LineSession, OnlyVersionOnePointFourIsNegotiated) {
    simline::LineConfig newer;  // 2.0 and up only
    newer.apiLowVersion = 0x00020000;
    simline::LineConfig older;  // up to 1.3 only
    older.apiHighVersion = 0x00010003;
    UseLines({simline::LineConfig{}, newer, older});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    VM_CLine wide(0, &owner);  // the device also does 2.x
    EXPECT_EQ(wide.VM_GetAPIVersion(), TAPI_VERSION_1_4);
    for (DWORD id : {1u, 2u}) {
        VM_CLine line(id, &owner);
        EXPECT_EQ(line.VM_GetAPIVersion(), 0u) << id;
        EXPECT_FALSE(line.VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE)) << id;
        EXPECT_EQ(Service().OpenCount(id), 0) << id;
    }
    // The line functions themselves take no other version either.
    DWORD version = 0;
    LINEEXTENSIONID ext{};
    EXPECT_EQ(lineNegotiateAPIVersion(VM_CTapi::VM_GetLineApp(), 0, 0x10005, 0x20000, &version, &ext),
              LINEERR_INCOMPATIBLEAPIVERSION);
    HLINE h = 0;
    EXPECT_EQ(lineOpen(VM_CTapi::VM_GetLineApp(), 0, &h, 0x10005, 0, 0, LINECALLPRIVILEGE_OWNER,
                       LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
              LINEERR_INCOMPATIBLEAPIVERSION);
}

TEST_F(LineSession, LineBeyondTheDevicesHasNoIdAndDoesNotOpen) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    VM_CLine line(1, nullptr);
    EXPECT_EQ(line.VM_GetDeviceID(), kNoDeviceID);
    EXPECT_EQ(line.VM_GetAPIVersion(), 0u);
    EXPECT_FALSE(line.VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE));
}

TEST_F(LineSession, OpenTwiceFailsAndCloseUnregisters) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    auto line = OpenLine(&owner);
    EXPECT_FALSE(line->VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE));
    EXPECT_EQ(Service().OpenCount(0), 1);
    EXPECT_TRUE(line->VM_Close());
    EXPECT_FALSE(line->VM_Close());
    EXPECT_TRUE(VM_CTapi::VM_GetLines().empty());
    EXPECT_EQ(Service().OpenCount(0), 0);
    // Reopening after a close is allowed.
    EXPECT_TRUE(line->VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE));
}

TEST_F(LineSession, LineStatesFollowTheCapabilitiesOrTheFallback) {
    simline::LineConfig broken;
    broken.failDevCaps = true;
    UseLines({simline::LineConfig{}, broken});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner full, fallback;
    OpenLine(&full, 0);
    OpenLine(&fallback, 1);
    for (DWORD id : {0u, 1u}) {
        Service().SendLineDevState(id, LINEDEVSTATE_CONNECTED);
        Service().SendLineDevState(id, LINEDEVSTATE_RINGING, 1, 1);
    }
    ASSERT_TRUE(PumpUntil([&] { return full.devStates.size() == 2 && fallback.devStates.size() == 1; }));
    linetest::PumpPending();
    EXPECT_EQ(full.devStates, (std::vector<DWORD>{LINEDEVSTATE_CONNECTED, LINEDEVSTATE_RINGING}));
    // Only RINGING, DISCONNECTED and REINIT were asked for.
    EXPECT_EQ(fallback.devStates, (std::vector<DWORD>{LINEDEVSTATE_RINGING}));
}

TEST_F(LineSession, ReinitGoesToTheSessionReceiverNotToTheLine) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    ReinitReceiver receiver;
    VM_CTapi::VM_SetTapiCbk(&receiver);
    RecordingOwner owner;
    OpenLine(&owner);
    Service().SendLineDevState(0, LINEDEVSTATE_REINIT, 5, 6);
    Service().SendLineDevState(0, LINEDEVSTATE_RINGING, 1, 1);
    ASSERT_TRUE(PumpUntil([&] { return owner.devStates.size() == 1; }));
    EXPECT_EQ(owner.devStates[0], LINEDEVSTATE_RINGING);
    EXPECT_EQ(receiver.calls, 1);
    EXPECT_EQ(receiver.p2, 5u);
    EXPECT_EQ(receiver.p3, 6u);
    VM_CTapi::VM_SetTapiCbk(nullptr);
}

TEST_F(LineSession, EventsAfterCloseAndForUnknownInstancesAreDropped) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    auto line = OpenLine(&owner);
    // Straight into the callback: instance 0, and an object that is no line.
    VM_CTapi::VM_LineCallback(line->VM_GetHandle(), LINE_LINEDEVSTATE, 0, LINEDEVSTATE_RINGING, 1, 1);
    VM_CTapi::VM_LineCallback(line->VM_GetHandle(), LINE_LINEDEVSTATE, reinterpret_cast<DWORD_PTR>(&owner),
                              LINEDEVSTATE_RINGING, 1, 1);
    EXPECT_TRUE(owner.devStates.empty());
    Service().SendLineDevState(0, LINEDEVSTATE_RINGING, 1, 1);
    line->VM_Close();
    linetest::PumpPending();
    EXPECT_TRUE(owner.devStates.empty());
}

TEST_F(LineSession, ServiceClosingTheLineTellsTheOwner) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    OpenLine(&owner);
    Service().CloseLine(0);
    ASSERT_TRUE(PumpUntil([&] { return owner.closes == 1; }));
}

TEST_F(LineSession, RegisteringKeepsOneLinePerHandle) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    auto line = OpenLine(&owner);
    VM_CLine closed(0, nullptr);  // handle 0, distinct from the open line's
    VM_CTapi::VM_RegisterLine(line);
    VM_CTapi::VM_RegisterLine(nullptr);
    EXPECT_EQ(VM_CTapi::VM_GetLines().size(), 1u);
    VM_CTapi::VM_RegisterLine(&closed);
    EXPECT_EQ(VM_CTapi::VM_GetLines().size(), 2u);
    VM_CTapi::VM_UnregisterLine(&closed);
    EXPECT_EQ(VM_CTapi::VM_GetLines().size(), 1u);
}

class LineEventsConcurrency : public linetest::SimLineTest {};

// The remote party and a call-flow worker act from other threads; every
// event still reaches the line on the thread that opened the session.
TEST_F(LineEventsConcurrency, EventsArriveOnTheInitialisingThread) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    OpenLine(&owner);
    const DWORD self = GetCurrentThreadId();

    std::shared_ptr<simline::SimCall> remote;
    std::thread party([&] {
        remote = Service().OfferCall(0, simline::CallerId{"1", "A", 0});
        for (int i = 0; i < 3; i++) remote->Ring();
    });
    party.join();
    ASSERT_TRUE(PumpUntil([&] { return owner.ringCounts.size() == 3; }));
    ASSERT_EQ(owner.calls.size(), 1u);
    VM_CCall* call = owner.calls[0].get();
    ASSERT_TRUE(call->VM_Answer());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_CONNECTED); }));

    bool monitored = false;
    std::thread worker([&] {
        monitored = call->VM_MonitorDigits(LINEDIGITMODE_DTMF);
        remote->PressDigit('3');
        remote->HangUp();
    });
    // Pump while the worker runs; nothing it does may need this thread.
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_DISCONNECTED); }));
    worker.join();
    EXPECT_TRUE(monitored);
    EXPECT_EQ(owner.digits.size(), 1u);
    ASSERT_FALSE(owner.threads.empty());
    for (DWORD thread : owner.threads) EXPECT_EQ(thread, self);
}

}  // namespace

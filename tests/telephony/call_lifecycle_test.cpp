// Whole calls on the simulated line, through the session, the line and the
// call objects, with every event dispatched from this thread's message loop.
#include <set>

#include "line_harness.h"
#include "support/temp_dir.h"
#include "telephony/var_structs.h"

using linetest::PumpUntil;
using linetest::RecordingOwner;

namespace {

class CallLifecycle : public linetest::SimLineTest {};

struct TimeScale {
    explicit TimeScale(double k) { platform::SetTimeScale(k); }
    ~TimeScale() { platform::SetTimeScale(1); }
};

TEST_F(CallLifecycle, ScriptedInboundCallFromOfferingToDeallocation) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    auto line = OpenLine(&owner);
    const DWORD self = GetCurrentThreadId();

    simline::CallerId caller{"5551234", "Alice", LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME};
    auto remote = Service().OfferCall(0, caller);
    ASSERT_TRUE(PumpUntil([&] { return owner.states.size() == 1; }));
    ASSERT_EQ(owner.calls.size(), 1u);
    VM_CCall* call = owner.calls[0].get();
    // The offering that created the call reaches the call's receiver too.
    EXPECT_EQ(owner.states[0].call, call);
    EXPECT_EQ(owner.states[0].state, LINECALLSTATE_OFFERING);
    EXPECT_EQ(owner.states[0].privilege, LINECALLPRIVILEGE_OWNER);

    for (int ring = 1; ring <= 3; ring++) {
        ASSERT_TRUE(remote->Ring());
        ASSERT_TRUE(PumpUntil([&] { return owner.ringCounts.size() == static_cast<size_t>(ring); }));
    }
    EXPECT_EQ(owner.ringCounts, (std::vector<DWORD>{1, 2, 3}));

    ASSERT_TRUE(call->VM_Answer());
    EXPECT_TRUE(owner.replies.empty()) << "the reply must come through the message loop";
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_CONNECTED); }));
    ASSERT_EQ(owner.replies.size(), 1u);
    EXPECT_EQ(owner.replies[0].call, call);
    EXPECT_EQ(owner.replies[0].kind, VM_CALLREQUEST_ANSWER);
    EXPECT_EQ(owner.replies[0].result, 0);

    // Digits while monitoring is on; none while it is off. The last digit,
    // pressed after monitoring is back on, shows the one before was dropped
    // rather than still on its way.
    ASSERT_TRUE(call->VM_MonitorDigits(LINEDIGITMODE_DTMF));
    ASSERT_TRUE(remote->PressDigit('5'));
    ASSERT_TRUE(PumpUntil([&] { return owner.digits.size() == 1; }));
    ASSERT_TRUE(call->VM_MonitorDigits(0));
    ASSERT_TRUE(remote->PressDigit('7'));
    ASSERT_TRUE(call->VM_MonitorDigits(LINEDIGITMODE_DTMFEND));
    ASSERT_TRUE(remote->PressDigit('9'));
    ASSERT_TRUE(PumpUntil([&] { return owner.digits.size() >= 2; }));
    linetest::PumpPending();
    EXPECT_EQ(owner.digits, (std::vector<std::pair<DWORD, DWORD>>{
                                {'5', LINEDIGITMODE_DTMF}, {'9', LINEDIGITMODE_DTMFEND}}));

    ASSERT_TRUE(remote->HangUp());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_DISCONNECTED); }));
    EXPECT_FALSE(owner.HasState(LINECALLSTATE_IDLE)) << "idle comes with the drop";

    ASSERT_TRUE(call->VM_Drop());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_IDLE); }));
    ASSERT_EQ(owner.replies.size(), 2u);
    EXPECT_EQ(owner.replies[1].call, call);
    EXPECT_EQ(owner.replies[1].kind, VM_CALLREQUEST_DROP);
    EXPECT_NE(owner.replies[0].reqid, owner.replies[1].reqid);
    EXPECT_EQ(line->VM_GetRequests().VM_GetCount(), 0u) << "every request matched by its reply";
    EXPECT_EQ(remote->DropRequests(), 1u);

    EXPECT_FALSE(remote->Released());
    owner.calls.clear();  // the owner deletes the idle call, which deallocates it
    EXPECT_TRUE(remote->Released());
    EXPECT_FALSE(line->VM_HasCalls());

    for (DWORD thread : owner.threads) EXPECT_EQ(thread, self);
}

TEST_F(CallLifecycle, EachReplyGoesToTheCallThatAskedEvenWithTwoCalls) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    OpenLine(&owner);
    auto first = Service().OfferCall(0, simline::CallerId{});
    ASSERT_TRUE(PumpUntil([&] { return owner.calls.size() == 1; }));
    // A second call while the first one exists.
    auto second = Service().OfferCall(0, simline::CallerId{});
    ASSERT_TRUE(PumpUntil([&] { return owner.calls.size() == 2; }));
    VM_CCall* a = owner.calls[0].get();
    VM_CCall* b = owner.calls[1].get();
    ASSERT_NE(a->VM_GetHandle(), b->VM_GetHandle());

    ASSERT_TRUE(b->VM_Drop());
    ASSERT_TRUE(a->VM_Answer());
    ASSERT_TRUE(PumpUntil([&] { return owner.replies.size() == 2; }));
    for (const linetest::Reply& reply : owner.replies) {
        VM_CCall* asked = reply.kind == VM_CALLREQUEST_DROP ? b : a;
        EXPECT_EQ(reply.call, asked) << VM_GetRequestKindName(reply.kind);
    }
    std::set<VM_CALLREQUEST> kinds{owner.replies[0].kind, owner.replies[1].kind};
    EXPECT_EQ(kinds, (std::set<VM_CALLREQUEST>{VM_CALLREQUEST_DROP, VM_CALLREQUEST_ANSWER}));
    EXPECT_EQ(first->State(), LINECALLSTATE_CONNECTED);
    EXPECT_EQ(second->State(), LINECALLSTATE_IDLE);
}

TEST_F(CallLifecycle, ReplyToADeallocatedCallReachesNobody) {
    RecordingOwner owner;
    auto remote = StartCall(&owner);
    ASSERT_EQ(owner.calls.size(), 1u);
    ASSERT_TRUE(owner.calls[0]->VM_Drop());
    owner.calls.clear();  // gone before its reply arrives
    EXPECT_TRUE(remote->Released());
    linetest::PumpPending();
    EXPECT_TRUE(owner.replies.empty());
    EXPECT_EQ(owner.line->VM_GetRequests().VM_GetCount(), 0u);
}

TEST_F(CallLifecycle, SecondDropBeforeTheReplyAndDropOfAnIdleCallIssueNoLineDrop) {
    RecordingOwner owner;
    auto remote = StartCall(&owner);
    ASSERT_EQ(owner.calls.size(), 1u);
    VM_CCall* call = owner.calls[0].get();
    EXPECT_TRUE(call->VM_Drop());
    EXPECT_TRUE(call->VM_Drop());
    EXPECT_EQ(remote->DropRequests(), 1u);
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_IDLE); }));
    EXPECT_TRUE(call->VM_Drop()) << "an idle call counts as dropped";
    EXPECT_EQ(remote->DropRequests(), 1u);
    EXPECT_EQ(owner.replies.size(), 1u);
}

TEST_F(CallLifecycle, IdleCallTheOwnerNeverTookIsDeallocatedOnce) {
    simline::LineConfig config;
    config.idleAfterRemoteHangUp = true;
    RecordingOwner owner;
    owner.createCalls = false;
    auto remote = StartCall(&owner, {config});
    ASSERT_TRUE(remote->HangUp());
    ASSERT_TRUE(PumpUntil([&] { return remote->Released(); }));
    linetest::PumpPending();
    EXPECT_TRUE(owner.states.empty());
}

TEST_F(CallLifecycle, OfferingOfOutboundOriginCreatesNoCall) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    OpenLine(&owner);
    auto outbound = Service().OfferOutboundCall(0);
    auto inbound = Service().OfferCall(0, simline::CallerId{});
    ASSERT_TRUE(PumpUntil([&] { return owner.newCalls == 1; }));
    linetest::PumpPending();
    EXPECT_EQ(owner.newCalls, 1);
    EXPECT_FALSE(outbound->Released()) << "not idle, so not deallocated either";
}

TEST_F(CallLifecycle, AcceptToAlertLineRingsOnlyAfterAccept) {
    simline::LineConfig config;
    config.addrCapFlags = LINEADDRCAPFLAGS_ACCEPTTOALERT;
    RecordingOwner owner;
    auto remote = StartCall(&owner, {config});
    VM_CAddrCaps caps(0, 0, owner.line->VM_GetAPIVersion());
    ASSERT_EQ(caps.VM_Query(), 0);
    EXPECT_TRUE(caps.VM_GetCaps()->dwAddrCapFlags & LINEADDRCAPFLAGS_ACCEPTTOALERT);
    EXPECT_FALSE(remote->Ring());
    ASSERT_TRUE(owner.calls[0]->VM_Accept());
    ASSERT_TRUE(PumpUntil([&] { return owner.replies.size() == 1; }));
    EXPECT_EQ(owner.replies[0].kind, VM_CALLREQUEST_ACCEPT);
    EXPECT_TRUE(remote->Ring());
    ASSERT_TRUE(PumpUntil([&] { return owner.ringCounts.size() == 1; }));
}

TEST_F(CallLifecycle, PeriodicRingingStopsAtTheAnswer) {
    TimeScale fast(20);
    simline::LineConfig config;
    config.countsRings = false;
    UseLines({config});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    OpenLine(&owner);
    auto remote = Service().OfferCall(0, simline::CallerId{});
    remote->StartRinging(6000);
    ASSERT_TRUE(PumpUntil([&] { return owner.ringCounts.size() >= 2; }));
    ASSERT_TRUE(owner.calls[0]->VM_Answer());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_CONNECTED); }));
    unsigned rings = remote->RingCount();
    remote->StopRinging();
    EXPECT_EQ(remote->RingCount(), rings);
    for (DWORD count : owner.ringCounts) EXPECT_EQ(count, 0u) << "this line does not count rings";
}

TEST_F(CallLifecycle, CallerIdReportedAfterTheOffering) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    OpenLine(&owner);
    auto remote = Service().OfferCall(0, simline::CallerId{"4441", "Bob", 0}, false);
    ASSERT_TRUE(PumpUntil([&] { return owner.calls.size() == 1; }));
    VM_CCallInfor before(owner.calls[0]->VM_GetHandle());
    ASSERT_EQ(before.VM_Query(), 0);
    EXPECT_EQ(before.VM_GetInfo()->dwCallerIDSize, 0u);

    ASSERT_TRUE(remote->ReportCallerId(simline::CallerId{"4441", "Bob", LINECALLPARTYID_ADDRESS}));
    ASSERT_TRUE(PumpUntil([&] { return !owner.infoStates.empty(); }));
    EXPECT_EQ(owner.infoStates[0], LINECALLINFOSTATE_CALLERID);
    VM_CCallInfor after(owner.calls[0]->VM_GetHandle());
    ASSERT_EQ(after.VM_Query(), 0);
    const LINECALLINFO* info = after.VM_GetInfo();
    EXPECT_EQ(info->dwCallerIDFlags, LINECALLPARTYID_ADDRESS);
    const BYTE* number = after.VM_GetField(info->dwCallerIDOffset, info->dwCallerIDSize);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(number)), "4441");
}

}  // namespace

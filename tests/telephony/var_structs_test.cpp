// The variable-size structures: growth to what the service needs, its bound,
// the size rules of the line functions, and the device ids of wave devices.
#include <cstring>

#include "line_harness.h"
#include "lines/base/line_dev_specific.h"
#include "telephony/request_list.h"
#include "telephony/var_structs.h"

using linetest::FakeAudioFactory;
using linetest::PumpUntil;
using linetest::RecordingOwner;

namespace {

// A service that answers with a scripted needed size.
class ScriptedStruct : public VM_CVarStruct {
public:
    ScriptedStruct(DWORD requestSize, LONG result, DWORD grow)
        : VM_CVarStruct(requestSize), m_result(result), m_grow(grow) {}
    LONG VM_Fetch() override {
        fetches++;
        DWORD* words = reinterpret_cast<DWORD*>(m_pBuffer);
        sizes.push_back(words[0]);
        words[1] = words[0] + m_grow;  // needed
        return m_result;
    }
    int fetches = 0;
    std::vector<DWORD> sizes;

private:
    LONG m_result;
    DWORD m_grow;
};

TEST(VarStructQuery, TooSmallWithoutNeedingMoreStopsAtOnce) {
    ScriptedStruct s(64, LINEERR_STRUCTURETOOSMALL, 0);
    EXPECT_EQ(s.VM_Query(), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(s.fetches, 1);
    EXPECT_EQ(s.VM_GetBuffer(), nullptr);
}

TEST(VarStructQuery, EverGrowingNeedIsCutOffAfterEightGrowths) {
    ScriptedStruct s(64, 0, 16);  // "fits" but always needs 16 bytes more
    EXPECT_EQ(s.VM_Query(), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(s.fetches, kVarStructMaxGrowths + 1);
    EXPECT_EQ(s.sizes.back(), 64u + 16u * kVarStructMaxGrowths);
    EXPECT_EQ(s.VM_GetBuffer(), nullptr);
}

TEST(VarStructQuery, NeedBeyondTheSizeLimitIsRefused) {
    ScriptedStruct s(64, LINEERR_STRUCTURETOOSMALL, kVarStructMaxSize);
    EXPECT_EQ(s.VM_Query(), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(s.fetches, 1);
    EXPECT_EQ(s.VM_GetBuffer(), nullptr);
}

TEST(VarStructQuery, ErrorFreesTheBufferAndPositiveKeepsIt) {
    ScriptedStruct failing(64, LINEERR_OPERATIONFAILED, 0);
    EXPECT_EQ(failing.VM_Query(), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(failing.VM_GetBuffer(), nullptr);
    ScriptedStruct positive(64, 5, 0);
    EXPECT_EQ(positive.VM_Query(), 5);
    EXPECT_NE(positive.VM_GetBuffer(), nullptr);
}

TEST(VarStructQuery, FieldMustLieInsideTheFilledStructure) {
    ScriptedStruct s(64, 0, 0);
    ASSERT_EQ(s.VM_Query(), 0);
    DWORD* words = reinterpret_cast<DWORD*>(s.VM_GetBuffer());
    words[2] = 40;  // dwUsedSize
    EXPECT_NE(s.VM_GetField(36, 4), nullptr);
    EXPECT_EQ(s.VM_GetField(37, 4), nullptr);
    EXPECT_EQ(s.VM_GetField(0xFFFFFFF0u, 0x20), nullptr) << "offset + size wraps";
    EXPECT_EQ(s.VM_GetField(8, 0), nullptr);
    words[2] = 4096;  // more than the buffer holds
    EXPECT_EQ(s.VM_GetField(60, 8), nullptr);
}

class LineStructs : public linetest::SimLineTest {};

TEST_F(LineStructs, DevCapsGrowsToHoldALongLineName) {
    simline::LineConfig config;
    config.name = std::string(500, 'M');
    UseLines({config});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    VM_CDevCaps caps(0, TAPI_VERSION_1_4);
    ASSERT_EQ(caps.VM_Query(), 0);
    const LINEDEVCAPS* c = caps.VM_GetCaps();
    EXPECT_EQ(c->dwNeededSize, 240u + 501u + sizeof(lines::LineDevSpecific));
    EXPECT_EQ(c->dwUsedSize, c->dwNeededSize);
    ASSERT_NE(caps.VM_GetField(c->dwLineNameOffset, c->dwLineNameSize), nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(caps.VM_GetBuffer()) + c->dwLineNameOffset),
              config.name);
    EXPECT_EQ(c->dwPermanentLineID, 0x5100u);
    // The simulated line's hang-ups are certain, and it says so.
    EXPECT_EQ(lines::LineDevSpecificFlags(caps.VM_GetField(c->dwDevSpecificOffset, c->dwDevSpecificSize),
                                          c->dwDevSpecificSize),
              lines::kLineDevReliableDisconnect);
}

TEST_F(LineStructs, StructuresFollowTheSizeRules) {
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner;
    auto line = OpenLine(&owner);
    Service().OfferCall(0, simline::CallerId{"123456", "Carol", 0});
    ASSERT_TRUE(PumpUntil([&] { return owner.calls.size() == 1; }));
    const HCALL hCall = owner.calls[0]->VM_GetHandle();

    alignas(8) BYTE buffer[400];
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer);
    std::memset(buffer, 0xEE, sizeof buffer);
    info->dwTotalSize = 295;  // the fixed part does not fit
    EXPECT_EQ(lineGetCallInfo(hCall, info), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(info->dwNeededSize, 296u + 7u + 6u);

    std::memset(buffer, 0xEE, sizeof buffer);
    info->dwTotalSize = 300;  // the fixed part fits, the texts do not
    EXPECT_EQ(lineGetCallInfo(hCall, info), 0);
    EXPECT_EQ(info->dwNeededSize, 309u);
    EXPECT_EQ(info->dwUsedSize, 296u);
    EXPECT_EQ(info->dwCallerIDSize, 0u) << "no size for a part that was left out";
    EXPECT_EQ(info->dwCallerIDOffset, 0u);
    EXPECT_EQ(buffer[296], 0xEE) << "nothing written past the used size";

    info->dwTotalSize = 400;
    EXPECT_EQ(lineGetCallInfo(hCall, info), 0);
    EXPECT_EQ(info->dwUsedSize, 309u);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer) + info->dwCallerIDOffset, "123456");
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer) + info->dwCallerIDNameOffset, "Carol");
    EXPECT_EQ(info->hLine, line->VM_GetHandle());

    LINECALLSTATUS status{};
    status.dwTotalSize = 35;
    EXPECT_EQ(lineGetCallStatus(hCall, &status), LINEERR_STRUCTURETOOSMALL);
    status.dwTotalSize = 36;
    EXPECT_EQ(lineGetCallStatus(hCall, &status), 0);
    EXPECT_EQ(status.dwCallState, LINECALLSTATE_OFFERING);
    EXPECT_EQ(status.dwCallPrivilege, LINECALLPRIVILEGE_OWNER);
}

TEST_F(LineStructs, WaveDevicesOfTheCallAndOfTheLine) {
    FakeAudioFactory factory;
    simline::LineConfig mute;
    mute.hasWaveDevices = false;
    simline::LineConfig alaw;
    alaw.acceptedFormats = simline::kFormatALaw;
    UseLines({alaw, mute});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner owner, muteOwner;
    auto line = OpenLine(&owner, 0);
    auto muteLine = OpenLine(&muteOwner, 1);
    auto remote = Service().OfferCall(0, simline::CallerId{});
    ASSERT_EQ(factory.configs.size(), 1u);
    EXPECT_EQ(factory.configs[0].lineDeviceId, 0u);
    EXPECT_EQ(factory.configs[0].acceptedFormats, simline::kFormatALaw);
    ASSERT_TRUE(PumpUntil([&] { return owner.calls.size() == 1; }));
    const HCALL hCall = owner.calls[0]->VM_GetHandle();

    VM_CDeviceID in, out;
    ASSERT_EQ(in.VM_GetCallDeviceID("wave/in", hCall), 0);
    ASSERT_EQ(out.VM_GetCallDeviceID("wave/out", hCall), 0);
    ASSERT_NE(remote->Audio(), nullptr);
    EXPECT_EQ(in.VM_GetID(), remote->Audio()->WaveInDeviceId());
    EXPECT_EQ(out.VM_GetID(), remote->Audio()->WaveOutDeviceId());
    EXPECT_NE(in.VM_GetID(), out.VM_GetID());

    // By line: a path of the line's own, the same on every request.
    VM_CDeviceID lineIn, lineInAgain;
    ASSERT_EQ(lineIn.VM_GetLineDeviceID("wave/in", line->VM_GetHandle()), 0);
    ASSERT_EQ(lineInAgain.VM_GetLineDeviceID("WAVE/IN", line->VM_GetHandle()), 0);
    EXPECT_EQ(lineIn.VM_GetID(), lineInAgain.VM_GetID());
    EXPECT_EQ(factory.configs.size(), 2u);

    VM_CDeviceID none;
    EXPECT_EQ(none.VM_GetLineDeviceID("wave/in", muteLine->VM_GetHandle()), LINEERR_INVALDEVICECLASS);
    EXPECT_EQ(none.VM_GetID(), 0u);
    EXPECT_EQ(none.VM_GetLineDeviceID("comm/datamodem", line->VM_GetHandle()), LINEERR_INVALDEVICECLASS);
    EXPECT_EQ(none.VM_GetLineDeviceID(nullptr, line->VM_GetHandle()), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(none.VM_GetCallDeviceID("wave/in", 0), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(none.VM_GetLineDeviceID("wave/in", 0), LINEERR_INVALLINEHANDLE);
}

TEST_F(LineStructs, WithoutAnAudioLayerTheCallHasNoWaveDevice) {
    RecordingOwner owner;
    auto remote = StartCall(&owner);
    ASSERT_EQ(owner.calls.size(), 1u);
    VM_CDeviceID in;
    EXPECT_LT(in.VM_GetCallDeviceID("wave/in", owner.calls[0]->VM_GetHandle()), 0);
    EXPECT_EQ(in.VM_GetID(), 0u);
    EXPECT_EQ(remote->Audio(), nullptr);
}

TEST_F(LineStructs, CapabilityQueriesNeedASession) {
    UseLines({simline::LineConfig{}});
    VM_CDevCaps caps(0, TAPI_VERSION_1_4);
    EXPECT_EQ(caps.VM_Query(), LINEERR_INVALAPPHANDLE);
    VM_CAddrCaps addr(0, 0, TAPI_VERSION_1_4);
    EXPECT_EQ(addr.VM_Query(), LINEERR_INVALAPPHANDLE);
}

class Receiver : public VM_IReplyCbk {
public:
    void VM_OnReply(DWORD, LONG, VM_CALLREQUEST) override {}
};

TEST(RequestList, OldestFirstAndRemovalByReceiver) {
    Receiver a, b;
    VM_CRequestList list;
    list.VM_AddRequest(7, VM_CALLREQUEST_ANSWER, &a);
    list.VM_AddRequest(7, VM_CALLREQUEST_DROP, &b);
    list.VM_AddRequest(8, VM_CALLREQUEST_DROP, &a);
    EXPECT_TRUE(list.VM_HasPendingDrop(&b));
    EXPECT_TRUE(list.VM_HasPendingDrop(nullptr));

    VM_IReplyCbk* who = nullptr;
    VM_CALLREQUEST kind = VM_CALLREQUEST_UNKNOWN;
    ASSERT_TRUE(list.VM_TakeRequest(7, &who, &kind));
    EXPECT_EQ(who, &a);
    EXPECT_EQ(kind, VM_CALLREQUEST_ANSWER);

    list.VM_RemoveRequests(&a);
    EXPECT_FALSE(list.VM_TakeRequest(8, &who, &kind));
    EXPECT_FALSE(list.VM_HasPendingDrop(&a));
    EXPECT_TRUE(list.VM_HasPendingDrop(&b));
    list.VM_RemoveRequests(nullptr);
    EXPECT_EQ(list.VM_GetCount(), 0u);
    EXPECT_FALSE(list.VM_HasPendingDrop(nullptr));
}

}  // namespace

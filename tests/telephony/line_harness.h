// Shared by the telephony tests: a simulated line service installed for one
// test, a message pump for the test's thread, a fake call-audio factory and
// an owner that records what the line and its calls report.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "diag/trace.h"
#include "lines/sim/sim_call_audio.h"
#include "lines/sim/sim_line_service.h"
#include "platform/win32/win32.h"
#include "telephony/call.h"
#include "telephony/line.h"
#include "telephony/tapi_session.h"

namespace linetest {

// Dispatches the calling thread's messages until pred holds. The real-time
// bound only keeps a broken test from hanging; it is not a timing check.
inline bool PumpUntil(const std::function<bool()>& pred, int maxPolls = 20000) {
    for (int i = 0; i < maxPolls; i++) {
        if (pred()) return true;
        MSG msg;
        bool any = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            DispatchMessageA(&msg);
            if (pred()) return true;
        }
        if (!any) Sleep(1);
    }
    return pred();
}

// Dispatches what is queued now (and what that queues in turn).
inline void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

class FakeCallAudio : public simline::CallAudio {
public:
    FakeCallAudio(UINT in, UINT out) : m_in(in), m_out(out) {}
    UINT WaveInDeviceId() const override { return m_in; }
    UINT WaveOutDeviceId() const override { return m_out; }

private:
    UINT m_in;
    UINT m_out;
};

// Hands out paths with ids 100, 101, 102 ... and remembers what it was asked.
class FakeAudioFactory {
public:
    FakeAudioFactory() {
        simline::SetCallAudioFactory([this](const simline::CallAudioConfig& config) {
            configs.push_back(config);
            UINT in = m_next++;
            UINT out = m_next++;
            return std::make_unique<FakeCallAudio>(in, out);
        });
    }
    ~FakeAudioFactory() { simline::SetCallAudioFactory(nullptr); }
    std::vector<simline::CallAudioConfig> configs;

private:
    UINT m_next = 100;
};

struct Reply {
    VM_CCall* call;
    DWORD reqid;
    LONG result;
    VM_CALLREQUEST kind;
};

struct CallEvent {
    VM_CCall* call;
    DWORD state;
    DWORD detail;
    DWORD privilege;
};

// The line's owner: creates a call for each inbound offering (unless told
// not to) and records everything, with the thread it arrived on.
class RecordingOwner : public VM_ILineCbk, public VM_ICallCbk {
public:
    bool createCalls = true;
    // The line goes after its calls, as the answer machine deletes them.
    std::unique_ptr<VM_CLine> line;
    std::vector<std::unique_ptr<VM_CCall>> calls;
    std::vector<Reply> replies;
    std::vector<CallEvent> states;
    std::vector<DWORD> infoStates;
    std::vector<std::pair<DWORD, DWORD>> digits;  // digit, mode
    std::vector<DWORD> ringCounts;                // dwParam3 of each RINGING
    std::vector<DWORD> devStates;
    int newCalls = 0;
    int closes = 0;
    std::vector<DWORD> threads;

    void VM_OnLineDevState(VM_CLine*, DWORD dwState, DWORD, DWORD dwParam3) override {
        Seen();
        devStates.push_back(dwState);
        if (dwState == LINEDEVSTATE_RINGING) ringCounts.push_back(dwParam3);
    }
    void VM_OnNewCall(VM_CLine* offeredOn, HCALL hCall, DWORD dwAddressID, DWORD) override {
        Seen();
        newCalls++;
        if (createCalls) calls.push_back(std::make_unique<VM_CCall>(offeredOn, hCall, dwAddressID));
    }
    void VM_OnLineClose(VM_CLine*) override {
        Seen();
        closes++;
    }
    void VM_OnCallReply(VM_CCall* call, DWORD reqid, LONG result, VM_CALLREQUEST kind) override {
        Seen();
        replies.push_back(Reply{call, reqid, result, kind});
    }
    void VM_OnCallState(VM_CCall* call, DWORD state, DWORD detail, DWORD privilege) override {
        Seen();
        states.push_back(CallEvent{call, state, detail, privilege});
    }
    void VM_OnCallInfo(VM_CCall*, DWORD dwInfoState) override {
        Seen();
        infoStates.push_back(dwInfoState);
    }
    void VM_OnMonitorDigits(VM_CCall*, DWORD dwDigit, DWORD dwDigitMode) override {
        Seen();
        digits.emplace_back(dwDigit, dwDigitMode);
    }
    void VM_OnMonitorMedia(VM_CCall*, DWORD) override { Seen(); }

    bool HasState(DWORD state) const {
        for (const CallEvent& e : states)
            if (e.state == state) return true;
        return false;
    }

private:
    void Seen() { threads.push_back(GetCurrentThreadId()); }
};

// A simulated service with the given lines, installed for one test; the
// session is shut down and the service removed afterwards.
class SimLineTest : public ::testing::Test {
protected:
    void UseLines(std::vector<simline::LineConfig> lines) {
        m_service = std::make_unique<simline::SimLineService>(std::move(lines));
        m_service->Install();
    }
    void TearDown() override {
        VM_CTapi::VM_Shutdown();
        PumpPending();
        m_service.reset();
    }
    simline::SimLineService& Service() { return *m_service; }

    // Opens a line for the owner, which keeps it, as the answer machine does.
    VM_CLine* OpenLine(RecordingOwner* owner, DWORD lineid = 0) {
        owner->line = std::make_unique<VM_CLine>(lineid, owner);
        EXPECT_TRUE(owner->line->VM_Open(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                                         LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_UNKNOWN));
        return owner->line.get();
    }

    // The session on lines of the given configurations, line 0 opened for
    // the owner, and one inbound call offered to it.
    std::shared_ptr<simline::SimCall> StartCall(RecordingOwner* owner,
                                                std::vector<simline::LineConfig> lines = {{}},
                                                const simline::CallerId& caller = {}) {
        UseLines(std::move(lines));
        EXPECT_TRUE(VM_CTapi::VM_Initialize());
        OpenLine(owner);
        auto remote = Service().OfferCall(0, caller);
        EXPECT_TRUE(PumpUntil([owner] { return owner->newCalls == 1; }));
        return remote;
    }

private:
    std::unique_ptr<simline::SimLineService> m_service;
};

}  // namespace linetest

// End-to-end calls through the real mailbox controller: the simulated line
// plays the caller, and a small driver does what the answer machine does
// around a call (answer, start the controller when connected, relay digits,
// stop it on a hang-up or when the flow ends), with the test's thread as the
// main thread and a window of its own as the main window.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "callflow/call_status.h"
#include "callflow/mailbox_controller.h"
#include "e2e/heard_audio.h"
#include "lines/sim/sim_line_service.h"
#include "lines/sim/sim_call_audio_device.h"
#include "store/call_info.h"
#include "telephony/call.h"
#include "telephony/line.h"

namespace mailboxflow {

// 8 kHz mu-law, as a voice modem's line takes it.
std::string MuLaw(const std::vector<std::int16_t>& samples);
// A tone of one or several frequencies played one after the other, each for
// msEach; the phase offset keeps files apart from their first byte on.
std::vector<std::int16_t> ToneSequence(const std::vector<double>& hz, int msEach, double phase);
// Writes the samples as a mu-law WAVE file; returns the encoded data.
std::string WriteMuLawWave(const std::string& path, const std::vector<std::int16_t>& samples);
// The data bytes of a WAVE file (whatever its format); empty when unreadable.
std::string WaveData(const std::string& path);
std::vector<std::int16_t> MuLawSamples(const std::string& data);

// What the caller heard, split into the known files it is made of, in
// order: "name" for a whole file, "name~" for a file cut short.
std::string Heard(const std::string& captured, const std::map<std::string, std::string>& files);

using e2e::BestCorrelation;

class CallDriver : public VM_ILineCbk, public VM_ICallCbk, public VM_ICallStatus {
public:
    explicit CallDriver(VM_CMailboxController* controller);
    ~CallDriver() override;
    CallDriver(const CallDriver&) = delete;
    CallDriver& operator=(const CallDriver&) = delete;

    // Opens line 0 of the installed service for this driver.
    bool OpenLine();
    // Dispatches the test thread's messages until done() or the real-time
    // guard (which only keeps a broken run from hanging).
    bool PumpUntil(const std::function<bool()>& done, int guardSeconds = 60);

    // VM_ILineCbk
    void VM_OnLineDevState(VM_CLine*, DWORD, DWORD, DWORD) override {}
    void VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD addressID, DWORD privilege) override;
    void VM_OnLineClose(VM_CLine*) override {}
    // VM_ICallCbk
    void VM_OnCallReply(VM_CCall*, DWORD, LONG, VM_CALLREQUEST) override {}
    void VM_OnCallState(VM_CCall* call, DWORD state, DWORD detail, DWORD privilege) override;
    void VM_OnCallInfo(VM_CCall*, DWORD) override {}
    void VM_OnMonitorDigits(VM_CCall* call, DWORD digit, DWORD mode) override;
    void VM_OnMonitorMedia(VM_CCall*, DWORD) override {}
    // VM_ICallStatus
    void VM_ShowStatus(const char* text) override { statuses.emplace_back(text); }

    bool ShowedStatus(int index) const;

    VM_CCallInfo record;
    std::int32_t logFlag = 1;
    bool started = false;
    bool idle = false;
    int flowEnded = 0;  // 0x800F notices
    int hangUps = 0;    // disconnects the line reported
    std::vector<std::string> statuses;

private:
    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    VM_CMailboxController* m_pController;
    HWND m_hwnd = nullptr;
    std::unique_ptr<VM_CLine> m_line;
    std::unique_ptr<VM_CCall> m_call;
};

}  // namespace mailboxflow

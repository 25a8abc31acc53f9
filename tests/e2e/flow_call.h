// One call on the simulated line run through the real call flow, driven the
// way the answer machine drives it: the call is answered and the controller
// started on it; touch tones go to the controller as they arrive; every
// message for the main window is passed on to the controller, except the
// remote delete (0x8013), which is done with the stored-data functions as the
// mediator does it. The caller is played by the test through the line.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "callflow/call_status.h"
#include "callflow/single_mailbox_ctrl.h"
#include "e2e/heard_audio.h"
#include "lines/sim/sim_call_audio_device.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "support/message_window.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"

namespace e2e {

class StatusLog : public VM_ICallStatus {
public:
    void VM_ShowStatus(const char* text) override { texts.emplace_back(text != nullptr ? text : ""); }
    std::vector<std::string> texts;
};

// The line's owner, relaying each touch tone to the controller as the
// answer machine does (the mode is not looked at).
class DigitRelay : public linetest::RecordingOwner {
public:
    VM_CMailboxController* controller = nullptr;
    void VM_OnMonitorDigits(VM_CCall* call, DWORD digit, DWORD mode) override;
};

class FlowCallTest : public linetest::SimLineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The single-mailbox flow (or with multi the multi-mailbox one) on the
    // program folder, with remote retrieval on.
    void MakeController(bool multi = false);
    // Offers the call, answers it and starts the controller; false on failure.
    bool Connect();
    // Dispatches this thread's messages until pred holds (a real-time bound
    // only keeps a broken run from hanging).
    bool RunUntil(const std::function<bool()>& pred);
    // Runs until the caller has heard at least samples of the clip.
    bool HearAtLeast(const std::string& clip, size_t samples, int times = 1);
    // The caller presses the keys one after another.
    void Press(const std::string& keys);
    // The caller hangs up; the call is stopped as the answer machine does.
    void HangUp();
    std::vector<HeardClip> Heard() const;

    // Adds a message to the Inbox list file with its own recording, a tone
    // of hz that the clip book knows as name.
    void StoreMessage(const std::string& name, int month, int day, int hour, int minute, double hz,
                      double seconds = 1.0, int mailbox = 0);

    testsupport::TempDir m_home;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    std::unique_ptr<VM_CAddressBook> m_book;
    std::unique_ptr<VM_CSingleMailboxCtrl> m_controller;
    testsupport::MessageWindow m_window;
    DigitRelay m_owner;
    StatusLog m_status;
    VM_CCallInfo m_record;
    std::int32_t m_logFlag = 1;
    std::shared_ptr<simline::SimCall> m_remote;
    ClipBook m_clips;
    std::vector<bool> m_deletes;  // the results of the 0x8013 requests
    bool m_flowEnded = false;

private:
    void OnMainWindow(const MSG& msg);
    void Pump();
};

}  // namespace e2e

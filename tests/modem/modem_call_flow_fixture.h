// The real answer machine, with its real mailbox controllers, answering on
// a voice-modem line served by the pseudo-terminal modem simulator. The test
// thread is the main thread: it owns the main window the machine and its
// call flow post to, and pumps its messages. The caller is the simulator's
// telephone side; what the caller heard is the audio the modem was given to
// play, cut into the known prompts as the simulated-line tests do.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "callflow/answer_machine.h"
#include "callflow/filed_records.h"
#include "callflow/toll_saver.h"
#include "e2e/heard_audio.h"
#include "lines/modem/modem_line_service.h"
#include "store/address_book_fixture.h"
#include "store/call_info.h"
#include "support/message_window.h"
#include "support/modem_simulator.h"

namespace modemtest {

using amtest::FiledRecord;

class ModemCallFlowTest : public storetest::AddressBookFiles {
public:
    // The main window's messages: a filed record is kept, the rest go to the machine.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    void SetUp() override;
    void TearDown() override;

    // The modem, its line service and the answer machine waiting on line 0.
    void StartMachine();
    // Rings, with the caller ID after the first ring, until the modem is
    // taken off the hook; false when it never is.
    bool RingUntilAnswered(const std::string& number);
    // Pumps the main thread's messages until pred holds (the real-time bound
    // only ends a broken run).
    bool PumpUntil(const std::function<bool()>& pred);
    // Everything the modem was given to play, told apart by clip.
    std::vector<e2e::HeardClip> Heard() const;
    bool HearAtLeast(const std::string& clip, size_t samples);
    void Press(const std::string& keys);
    // The call ended, the modem is on the hook and the line is waiting again
    // (a record, when there is one, is posted before the end).
    bool WaitForCallEnd();
    // A tone of the given pitch in the modem's encoding.
    static std::string CallerTone(double hz, size_t samples);

    std::unique_ptr<modemsim::ModemSimulator> m_modem;
    std::unique_ptr<modemline::ModemLineService> m_service;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<testsupport::MessageWindow> m_window;
    HWND m_hWnd = nullptr;
    std::unique_ptr<VM_CAnswerMachine> m_machine;
    std::vector<FiledRecord> m_records;
    std::vector<std::string> m_status;
    e2e::ClipBook m_clips;
    int m_callsEnded = 0;
};

std::string Joined(const std::vector<e2e::HeardClip>& heard);
// The samples of a recorded WAVE file; empty when it cannot be read.
std::vector<std::int16_t> RecordedSamples(const char* path);

}  // namespace modemtest

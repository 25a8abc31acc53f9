// The real answer machine with its real mailbox controller on the SIP line:
// a program folder with an address book, a main window whose messages go to
// the machine (the call records are kept), and the caller-ID window's trail.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "callflow/answer_machine.h"
#include "callflow/main_window.h"
#include "callflow/toll_saver.h"
#include "sip/sip_fixture.h"
#include "store/address_book_fixture.h"
#include "store/call_info.h"
#include "support/message_window.h"
#include "support/recording_caller_id.h"

namespace siptest {

// The address-book files of the store tests, kept beside the SIP fixture.
class BookFiles : public storetest::AddressBookFiles {
public:
    using AddressBookFiles::AddEntry;
    using AddressBookFiles::AddFolder;
    using AddressBookFiles::m_cfg;
    using AddressBookFiles::SetUp;
    void TestBody() override {}
};

class SipMachineFixture : public SipLineFixture {
protected:
    // Answering after rings on line 0, one mailbox, no limits, no silence
    // detection (a test switches on what it needs).
    void SetUp() override {
        SipLineFixture::SetUp();
        m_book.SetUp();
        VM_CAppCfg& cfg = *m_book.m_cfg;
        cfg.m_idLine = 0;
        cfg.m_nRings = 2;
        cfg.m_nMaxCallMinutes = 0;
        cfg.m_nSilenceSeconds = 0;
        cfg.m_nSilenceLevel = 0;
        cfg.VM_SetFlag(false, VM_FLAG_TOLL_SAVER | VM_FLAG_PRESCREEN | VM_FLAG_MODEM_FIX);
        cfg.VM_SetFlag(true, VM_FLAG_SINGLE_MAILBOX | VM_FLAG_ANSWERING);
        VM_SetMainWindow(m_window.hwnd());
    }
    void TearDown() override {
        m_machine.reset();
        Pump([] { return false; }, 0);
        SipLineFixture::TearDown();
        VM_SetMainWindow(nullptr);
    }

    // The SIP line and the answer machine waiting on it.
    void StartMachine() {
        StartService(TestSettings());
        ASSERT_FALSE(HasFatalFailure());
        m_machine = std::make_unique<VM_CAnswerMachine>(&m_tollSaver, m_window.hwnd(), m_book.m_cfg.get());
        m_machine->VM_SetCallerIDDlgMaker([this](HWND parent, VM_CAnswerMachine* owner) {
            return std::make_unique<testsupport::RecordingCallerID>(parent, owner, &m_trail);
        });
        ASSERT_TRUE(m_machine->VM_Start());
    }

    // Dispatches messages; the main window's go to the answer machine,
    // except the call records, which are kept.
    bool Pump(const std::function<bool()>& pred, int realSeconds = 120) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(realSeconds);
        do {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd != m_window.hwnd()) {
                    DispatchMessageA(&msg);
                } else if (msg.message == VM_MSG_NEW_CALL_RECORD) {
                    m_records.emplace_back(reinterpret_cast<VM_CCallInfo*>(msg.lParam));
                } else if (m_machine) {
                    LRESULT result = 0;
                    m_machine->VM_OnMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, result);
                }
            }
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < end);
        return pred();
    }

    std::string Trail() const {
        std::string text;
        for (const std::string& line : m_trail) text += "[" + line + "] ";
        return text;
    }

    BookFiles m_book;
    testsupport::MessageWindow m_window;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<VM_CAnswerMachine> m_machine;
    std::vector<std::unique_ptr<VM_CCallInfo>> m_records;
    std::vector<std::string> m_trail;
    RtpPeer m_peer;
};

}  // namespace siptest

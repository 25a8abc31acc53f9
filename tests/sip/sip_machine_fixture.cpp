#include "sip/sip_machine_fixture.h"

#include <chrono>
#include <thread>

#include "callflow/main_window.h"
#include "support/recording_caller_id.h"

namespace siptest {

void SipMachineFixture::SetUp() {
    SipLineFixture::SetUp();
    m_book.SetUp();
    m_book.AnswerPlainly(kConfiguredRings);
    VM_SetMainWindow(m_window.hwnd());
}

void SipMachineFixture::TearDown() {
    m_machine.reset();
    Pump([] { return false; }, 0);
    SipLineFixture::TearDown();
    VM_SetMainWindow(nullptr);
}

void SipMachineFixture::StartMachine() {
    StartService(TestSettings());
    ASSERT_FALSE(HasFatalFailure());
    m_machine = std::make_unique<VM_CAnswerMachine>(&m_tollSaver, m_window.hwnd(), m_book.m_cfg.get());
    m_machine->VM_SetCallerIDDlgMaker([this](HWND parent, VM_CAnswerMachine* owner) {
        return std::make_unique<testsupport::RecordingCallerID>(parent, owner, &m_trail);
    });
    ASSERT_TRUE(m_machine->VM_Start());
}

void SipMachineFixture::StartCall(const std::string& scenario, const Keys& keys) {
    StartMachine();
    ASSERT_FALSE(HasFatalFailure());
    m_sipp = Sipp(scenario, keys);
}

bool SipMachineFixture::Pump(const std::function<bool()>& pred, int realSeconds) {
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

VM_CCallInfo* SipMachineFixture::FiledRecord() {
    // Waited for here, as the fixture's own pump would lose the main
    // window's messages.
    EXPECT_TRUE(Pump([this] { return m_sipp->Wait(0) >= 0; }, 100)) << Trail();
    ExpectSippPassed(*m_sipp);
    const bool filed = Pump([this] { return !m_records.empty() && !m_machine->VM_HasCall(); });
    EXPECT_TRUE(filed) << Trail() << m_records.size() << " records, a call " << m_machine->VM_HasCall();
    EXPECT_EQ(m_records.size(), 1u);
    return filed && m_records.size() == 1 ? m_records[0].get() : nullptr;
}

std::string SipMachineFixture::Trail() const {
    std::string text;
    for (const std::string& line : m_trail) text += "[" + line + "] ";
    return text;
}

}  // namespace siptest

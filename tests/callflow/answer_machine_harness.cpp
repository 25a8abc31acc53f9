#include "callflow/answer_machine_harness.h"

#include "callflow/main_window.h"
#include "platform/win32/win32.h"
#include "telephony/call.h"
#include "telephony/tapi_session.h"

namespace amtest {

bool FakeController::VM_Start(VM_CCall* c, VM_CCallInfo* i, VM_ICallStatus* s, std::int32_t* logFlag) {
    ++starts;
    call = c;
    info = i;
    status = s;
    call->VM_MonitorDigits(LINEDIGITMODE_DTMF);
    if (clearLogFlag && logFlag != nullptr) *logFlag = 0;
    return true;
}

bool FakeController::VM_Stop() {
    if (stops != nullptr) ++*stops;
    if (call != nullptr) call->VM_Drop();
    call = nullptr;
    return true;
}

bool FakeController::VM_OnMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != VM_MSG_DIGIT) return false;
    digits.push_back(wParam);
    result = 0;
    return true;
}

VM_CMailboxController* TestMachine::VM_CreateController(bool single) {
    ++controllersMade;
    lastSingle = single;
    controller = new FakeController(nullptr);
    controller->clearLogFlag = clearLogFlag;
    controller->stops = &controllerStops;
    return controller;
}

bool AnswerMachineTest::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    m_messages.push_back(message);
    if (KeepFiledRecord(message, wParam, lParam, m_records)) return true;
    return m_machine && m_machine->VM_OnMessage(hwnd, message, wParam, lParam, result);
}

void AnswerMachineTest::SetUp() {
    AddressBookFiles::SetUp();
    platform::SetTimeScale(600.0);
    m_window = testsupport::MessageWindow::For(this);
    m_hWnd = m_window->hwnd();
    ASSERT_NE(m_hWnd, nullptr);
    VM_SetMainWindow(m_hWnd);
    AnswerPlainly(3);
}

void AnswerMachineTest::TearDown() {
    m_machine.reset();
    PumpPending();
    m_records.clear();
    VM_SetMainWindow(nullptr);
    m_window.reset();
    VM_CTapi::VM_Shutdown();
    m_service.reset();
    platform::SetTimeScale(1.0);
}

void AnswerMachineTest::UseLines(std::vector<simline::LineConfig> lines) {
    m_service = std::make_unique<simline::SimLineService>(std::move(lines));
    m_service->Install();
}

TestMachine& AnswerMachineTest::Machine() {
    if (!m_machine) {
        m_machine = std::make_unique<TestMachine>(&m_tollSaver, m_hWnd, m_cfg.get());
        m_machine->VM_SetCallerIDDlgMaker([this](HWND parent, VM_CAnswerMachine* owner) {
            return std::make_unique<testsupport::RecordingCallerID>(parent, owner, &m_callerID);
        });
    }
    return *m_machine;
}

bool AnswerMachineTest::PumpUntil(const std::function<bool()>& pred) {
    for (int i = 0; i < 20000; i++) {
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

void AnswerMachineTest::PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool AnswerMachineTest::Saw(const std::string& line) const {
    for (const std::string& seen : m_callerID)
        if (seen == line) return true;
    return false;
}

int AnswerMachineTest::Count(UINT message) const {
    int n = 0;
    for (UINT m : m_messages) n += m == message ? 1 : 0;
    return n;
}

std::shared_ptr<simline::SimCall> AnswerMachineTest::Offer(const char* number, const char* name, bool late) {
    simline::CallerId caller;
    if (number != nullptr) caller.number = number;
    if (name != nullptr) caller.name = name;
    auto call = m_service->OfferCall(0, caller, !late);
    const int before = Count(VM_MSG_CALL_STARTED);
    EXPECT_TRUE(PumpUntil([&] { return Count(VM_MSG_CALL_STARTED) > before; })) << "the offering was not taken";
    return call;
}

void AnswerMachineTest::Ring(simline::SimCall& call) {
    ASSERT_TRUE(call.Ring());
    PumpPending();
}

}  // namespace amtest

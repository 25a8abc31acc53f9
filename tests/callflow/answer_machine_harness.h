// The answer machine on the simulated line, with a stand-in for the mailbox
// controller and a main window that hands its messages to the machine and
// keeps the call records it is given.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/recording_caller_id.h"
#include "support/message_window.h"
#include "callflow/filed_records.h"
#include "callflow/answer_machine.h"
#include "callflow/mailbox_controller.h"
#include "callflow/toll_saver.h"
#include "lines/sim/sim_line_service.h"
#include "store/address_book_fixture.h"
#include "store/call_info.h"

namespace amtest {

// Runs no call flow: remembers what it is given and, like the real one,
// drops the call when stopped.
class FakeController : public VM_CMailboxController {
public:
    explicit FakeController(VM_CAppCfg* cfg) : VM_CMailboxController(cfg, nullptr, nullptr, 0) {}
    bool VM_Start(VM_CCall* call, VM_CCallInfo* info, VM_ICallStatus* status, std::int32_t* logFlag) override;
    bool VM_Stop() override;
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool VM_TestCondition(WORD) override { return false; }
    bool VM_DoAction(DWORD) override { return false; }
    bool VM_OnEnterState(int&, DWORD, WPARAM) override { return false; }
    DWORD VM_GetEvent(UINT, WPARAM, LPARAM) override { return 0; }

    int starts = 0;
    int* stops = nullptr;  // outlives the controller
    bool clearLogFlag = false;  // as remote retrieval does
    std::vector<WPARAM> digits;
    VM_CCall* call = nullptr;
    VM_CCallInfo* info = nullptr;
    VM_ICallStatus* status = nullptr;
};

class TestMachine : public VM_CAnswerMachine {
public:
    using VM_CAnswerMachine::VM_CAnswerMachine;
    FakeController* controller = nullptr;
    int controllersMade = 0;
    int controllerStops = 0;
    bool lastSingle = false;
    bool clearLogFlag = false;

protected:
    VM_CMailboxController* VM_CreateController(bool single) override;
};

using PostedRecord = FiledRecord;

class AnswerMachineTest : public storetest::AddressBookFiles {
public:
    // The main window's messages: a filed record is kept, the rest go to the machine.
    bool OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    void SetUp() override;
    void TearDown() override;

    // The service with the given lines; configuration: line 0, rings 3, no
    // toll saver, no time limit, silence detection off.
    void UseLines(std::vector<simline::LineConfig> lines);
    TestMachine& Machine();
    // Pumps until pred holds (the real-time bound only stops a broken test).
    bool PumpUntil(const std::function<bool()>& pred);
    void PumpPending();
    bool Saw(const std::string& line) const;
    int Count(UINT message) const;
    std::shared_ptr<simline::SimCall> Offer(const char* number, const char* name = "Caller", bool late = false);
    // Rings once and handles what follows.
    void Ring(simline::SimCall& call);

    std::unique_ptr<simline::SimLineService> m_service;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<testsupport::MessageWindow> m_window;
    HWND m_hWnd = nullptr;
    std::unique_ptr<TestMachine> m_machine;
    std::vector<UINT> m_messages;
    std::vector<PostedRecord> m_records;
    std::vector<std::string> m_callerID;
};

}  // namespace amtest

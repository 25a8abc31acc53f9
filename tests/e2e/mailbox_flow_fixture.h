// A program folder with test prompts and greetings (each its own tone, so
// what the caller heard can be told from the captured audio alone), an
// address book, and one call on the simulated line run by a real
// controller through the driver.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "callflow/main_window.h"
#include "callflow/multi_mailbox_ctrl.h"
#include "callflow/single_mailbox_ctrl.h"
#include "e2e/mailbox_call_driver.h"
#include "platform/win32/clock.h"
#include "store/addr_entry.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/list.h"
#include "store/tree.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"

namespace mailboxflow {

class FlowCallTest : public linetest::SimLineTest {
protected:
    static constexpr const char* kCaller = "5551234";

    void SetUp() override {
        platform::SetTimeScale(40.0);
        simline::InstallSimCallAudio();
        m_cfg = std::make_unique<VM_CAppCfg>(m_dir.path().c_str());
        m_cfg->m_dwFlags = VM_FLAG_ANSWERING | VM_FLAG_SINGLE_MAILBOX;
        m_cfg->m_nSilenceSeconds = 2;
        m_cfg->m_nSilenceLevel = 5;
        WritePrompt(VM_PROMPT_BEEP, {1000.0}, 500);
        WritePrompt(VM_PROMPT_BYE, {660.0, 880.0}, 300);
        WritePrompt(VM_PROMPT_INVALID_MAILBOX, {520.0, 390.0}, 300);
        WritePrompt(VM_PROMPT_MAILBOX_NUMBER, {700.0, 1100.0}, 300);
        // The anti-telemarketer signal: three rising tones.
        WritePrompt(VM_PROMPT_ANTI_TELEMARKETER, {950.0, 1400.0, 1800.0}, 330);
        WriteMainGreeting(3000);
        WriteAddressBook();
    }

    void TearDown() override {
        m_driver.reset();
        m_controller.reset();
        m_book.reset();
        linetest::SimLineTest::TearDown();
        simline::SetCallAudioFactory(nullptr);
        platform::SetTimeScale(1.0);
    }

    void WritePrompt(int n, const std::vector<double>& hz, int msEach) {
        std::unique_ptr<char[]> path(m_cfg->VM_GetPromptFileName(n));
        char name[16];
        std::snprintf(name, sizeof name, "Prp%04d", n);
        m_files[name] = WriteMuLawWave(path.get(), ToneSequence(hz, msEach, 0.1 * n + 0.3));
    }
    void WriteMainGreeting(int ms) {
        std::unique_ptr<char[]> path(m_cfg->VM_GetMainGreetingFileName());
        m_files["GTMain"] = WriteMuLawWave(path.get(), ToneSequence({440.0, 494.0}, ms / 2, 0.7));
    }
    void WriteMailboxGreeting(int n, int ms) {
        std::unique_ptr<char[]> path(m_cfg->VM_GetMailboxGreetingFileName(n));
        char name[16];
        std::snprintf(name, sizeof name, "GTMbox%02d", n);
        m_files[name] = WriteMuLawWave(path.get(), ToneSequence({300.0 + 40.0 * n}, ms, 1.1 + 0.05 * n));
    }
    // The caller's own greeting; returns its path.
    std::string WritePersonalGreeting(int ms) {
        const std::string path = m_dir.file("Greeting/Grt0001.Wav");
        m_files["Personal"] = WriteMuLawWave(path, ToneSequence({587.0, 740.0}, ms / 2, 1.9));
        return path;
    }

    // An address tree with one folder holding the caller (when flags or a
    // greeting are given).
    void WriteAddressBook(DWORD flags = 0, const std::string& greeting = {}) {
        std::unique_ptr<char[]> treeFile(m_cfg->VM_GetTreeFileName(2));
        std::remove(treeFile.get());
        VM_CTree tree(new VM_CTreeItem(), treeFile.get());
        auto* root = new VM_CTreeItem("Address Book", 0, 0);
        ASSERT_TRUE(tree.VM_Insert(nullptr, root));
        auto* folder = new VM_CTreeItem("Friends", 3, 4);
        ASSERT_TRUE(tree.VM_Insert(root, folder));
        tree.VM_Save();
        VM_CAddrEntry prototype;
        std::unique_ptr<char[]> listFile(m_cfg->VM_GetAddressListFileName(folder->m_id));
        std::remove(listFile.get());
        VM_CList list(&prototype, listFile.get(), VM_CList::kFileBacked);
        list.m_id = folder->m_id;
        auto* entry = new VM_CAddrEntry();
        entry->VM_SetAttr(VM_CAddrEntry::kAttrFlags, std::to_string(flags).c_str());
        entry->VM_SetAttr(VM_CAddrEntry::kAttrName, "Test Caller");
        entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, kCaller);
        entry->VM_SetAttr(VM_CAddrEntry::kAttrGreeting, greeting.empty() ? nullptr : greeting.c_str());
        ASSERT_TRUE(list.VM_Append(entry));
        ASSERT_TRUE(list.VM_Save());
    }

    // Builds the flow's controller on the folder as it is now and offers one
    // call from the test caller on a line whose audio takes only mu-law.
    template <class Flow>
    simline::SimCallAudio* PlaceCall() {
        m_book = std::make_unique<VM_CAddressBook>(m_cfg.get());
        m_controller = std::make_unique<Flow>(m_cfg.get(), m_book.get());
        m_driver = std::make_unique<CallDriver>(m_controller.get());
        m_driver->record.VM_SetAttr(VM_CCallInfo::kAttrNumber, kCaller);
        simline::LineConfig line;
        line.acceptedFormats = simline::kFormatMuLaw;
        UseLines({line});
        EXPECT_TRUE(VM_CTapi::VM_Initialize());
        EXPECT_TRUE(m_driver->OpenLine());
        simline::CallerId caller;
        caller.number = kCaller;
        m_remote = Service().OfferCall(0, caller);
        return dynamic_cast<simline::SimCallAudio*>(m_remote->Audio());
    }

    bool WaitIdle() {
        return m_driver->PumpUntil([this] { return m_driver->idle; });
    }
    // Pumps until the caller has heard at least bytes of audio.
    bool WaitHeard(simline::SimCallAudio* audio, size_t bytes) {
        return m_driver->PumpUntil([&] { return audio->CapturedBytes().size() >= bytes; });
    }
    std::string HeardSoFar(simline::SimCallAudio* audio) const { return Heard(audio->CapturedBytes(), m_files); }

    std::string RecordedFile() const {
        return m_driver->record.VM_GetAttrText(VM_CCallInfo::kAttrWaveFile).value_or("");
    }

    testsupport::TempDir m_dir;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    std::map<std::string, std::string> m_files;
    std::unique_ptr<VM_CAddressBook> m_book;
    std::unique_ptr<VM_CMailboxController> m_controller;
    std::unique_ptr<CallDriver> m_driver;
    std::shared_ptr<simline::SimCall> m_remote;
};

}  // namespace mailboxflow

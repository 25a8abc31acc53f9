// A caller who hides his number, calling over SIP into the real answer
// machine with its real mailbox controller: an address-book entry for the
// caller-ID word "Blocked" decides what he gets. The line answers without
// counting the configured rings and then either hangs up on him or plays
// the anti-telemarketer tone; the call record says the call was blocked.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "support/recording_caller_id.h"
#include "callflow/answer_machine.h"
#include "callflow/main_window.h"
#include "callflow/single_mailbox_ctrl.h"
#include "callflow/status_texts.h"
#include "callflow/toll_saver.h"
#include "platform/win32/clock.h"
#include "platform/winmm/g711.h"
#include "platform/winmm/wave_file_io.h"
#include "sip/sip_fixture.h"
#include "store/address_book_fixture.h"
#include "store/call_info.h"
#include "store/shipped_data.h"
#include "support/message_window.h"

namespace siptest {
namespace {

constexpr int kConfiguredRings = 8;

// The address-book files of the store tests, kept beside the SIP fixture.
class BookFiles : public storetest::AddressBookFiles {
public:
    using AddressBookFiles::AddEntry;
    using AddressBookFiles::AddFolder;
    using AddressBookFiles::m_cfg;
    using AddressBookFiles::SetUp;
    void TestBody() override {}
};


class SipBlockedCallerConcurrency : public SipLineFixture {
protected:
    void SetUp() override {
        SipLineFixture::SetUp();
        m_book.SetUp();
        VM_CAppCfg& cfg = *m_book.m_cfg;
        cfg.m_idLine = 0;
        cfg.m_nRings = kConfiguredRings;
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

    // An entry for every caller who hides his number, in the given mode.
    void BlockHiddenCallers(DWORD mode) {
        const int32_t folder = m_book.AddFolder(0, "Blocked");
        m_book.AddEntry(folder, {"Hidden callers", "Blocked", nullptr, nullptr, mode});
    }

    // The answer machine on the SIP line, and sipp calling anonymously.
    void Call(const std::string& from, const std::string& privacy) {
        StartService(TestSettings());
        ASSERT_FALSE(HasFatalFailure());
        m_machine = std::make_unique<VM_CAnswerMachine>(&m_tollSaver, m_window.hwnd(), m_book.m_cfg.get());
        m_machine->VM_SetCallerIDDlgMaker([this](HWND parent, VM_CAnswerMachine* owner) {
            return std::make_unique<testsupport::RecordingCallerID>(parent, owner, &m_trail);
        });
        ASSERT_TRUE(m_machine->VM_Start());
        Keys keys = CallerKeys(m_peer.Port());
        keys["caller_from"] = from;
        keys["privacy"] = privacy;
        keys.erase("hold");
        m_sipp = Sipp("caller_held.xml", keys);
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

    // Rings shown before the machine said it was blocking the caller; -1
    // when it never did.
    int RingsBeforeBlocking() const {
        int rings = 0;
        for (const std::string& line : m_trail) {
            if (line == VM_GetStatusText(VM_STATUS_BLOCKING)) return rings;
            if (line == VM_GetStatusText(VM_STATUS_RINGING)) rings++;
        }
        return -1;
    }
    std::string Trail() const {
        std::string text;
        for (const std::string& line : m_trail) text += "[" + line + "] ";
        return text;
    }

    // The call has ended at both ends and its record was filed.
    void ExpectHungUpAndFiledBlocked() {
        // The scenario ends only on our BYE. Waited for here, as the
        // fixture's own pump would lose the main window's messages.
        EXPECT_TRUE(Pump([this] { return m_sipp->Wait(0) >= 0; }, 100)) << Trail();
        ExpectSippPassed(*m_sipp);
        ASSERT_TRUE(Pump([this] { return !m_records.empty() && !m_machine->VM_HasCall(); }))
            << Trail() << m_records.size() << " records, a call " << m_machine->VM_HasCall();
        ASSERT_EQ(m_records.size(), 1u);
        VM_CCallInfo& record = *m_records[0];
        EXPECT_TRUE(record.VM_GetFlags() & VM_CCallInfo::kFlagBlocked) << "flags " << record.VM_GetFlags();
        EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrNumber), "Blocked");
        EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrName), "Hidden callers");
        EXPECT_EQ(record.VM_GetWaveFile(), nullptr) << "a blocked caller leaves no message";
        const int rings = RingsBeforeBlocking();
        EXPECT_GE(rings, 0) << Trail();
        EXPECT_LT(rings, kConfiguredRings) << "answered without counting the rings: " << Trail();
    }

    // How often the caller heard prompt 300 whole: the tone's two changes
    // of pitch are found in what the line sent, each once per playing (a
    // tone repeats itself within, its changes of pitch do not). The higher
    // of the two counts, as a device held up on a loaded machine may cut a
    // gap into one of them.
    int TimesToneHeard() const {
        WAVEFORMATEX format{};
        std::string data;
        const std::string path = VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp0300.Wav");
        EXPECT_FALSE(path.empty());
        if (path.empty() || !winmm::ReadWaveFile(path, &format, &data)) return -1;
        std::string coded;
        for (std::int16_t s : winmm::DecodeSamples(format, reinterpret_cast<const BYTE*>(data.data()),
                                                   static_cast<DWORD>(data.size())))
            coded.push_back(static_cast<char>(g711::LinearToULaw(s)));
        const std::string heard = m_peer.Payloads(0);
        const size_t toneSamples = 380 * 8;  // each pitch lasts 380 ms
        int most = 0;
        for (size_t change : {toneSamples, 2 * toneSamples}) {
            if (change + 40 > coded.size()) return -1;
            const std::string piece = coded.substr(change - 40, 80);
            int count = 0;
            for (size_t at = heard.find(piece); at != std::string::npos; at = heard.find(piece, at + 1)) count++;
            most = std::max(most, count);
        }
        return most;
    }

    BookFiles m_book;
    testsupport::MessageWindow m_window;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<VM_CAnswerMachine> m_machine;
    std::vector<std::unique_ptr<VM_CCallInfo>> m_records;
    std::vector<std::string> m_trail;
    RtpPeer m_peer;
    std::unique_ptr<PeerProcess> m_sipp;
};

TEST_F(SipBlockedCallerConcurrency, AnonymousCallerIsAnsweredAtOnceAndHungUpOn) {
    BlockHiddenCallers(VM_CAddrEntry::kFlagBlockHangUp);
    Call("\"Anonymous\" <sip:anonymous@anonymous.invalid>", "Privacy: none");
    ASSERT_FALSE(HasFatalFailure());
    ExpectHungUpAndFiledBlocked();
    EXPECT_EQ(TimesToneHeard(), 0) << "hang-up mode plays no tone";
}

TEST_F(SipBlockedCallerConcurrency, CallerAskingPrivacyHearsTheToneTwiceThenIsHungUpOn) {
    BlockHiddenCallers(VM_CAddrEntry::kFlagBlockTone);
    Call("\"Carol\" <sip:5550123@127.0.0.1>", "Privacy: id");
    ASSERT_FALSE(HasFatalFailure());
    ExpectHungUpAndFiledBlocked();
    EXPECT_EQ(TimesToneHeard(), 2) << Trail();
}

}  // namespace
}  // namespace siptest

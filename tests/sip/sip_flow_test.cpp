// Calls over SIP through the real call flows, as on the simulated line: the
// caller hears the greeting and the beep and leaves a message, and the owner
// logs in to remote retrieval with touch tones. What the caller heard is read
// from the RTP the line sent: the shipped prompts' G.711 codes found in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <cmath>
#include <thread>

#include "audio/wave_file.h"
#include "callflow/callflow_messages.h"
#include "callflow/call_status.h"
#include "callflow/main_window.h"
#include "callflow/single_mailbox_ctrl.h"
#include "platform/win32/clock.h"
#include "sip/sip_fixture.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/shipped_data.h"
#include "support/message_window.h"

namespace siptest {
namespace {

constexpr size_t kStarted = 320;  // 40 ms of a clip: it began
constexpr size_t kPiece = 80;

class StatusLog : public VM_ICallStatus {
public:
    void VM_ShowStatus(const char*) override {}
};

class SipFlowConcurrency : public SipLineFixture {
protected:
    void SetUp() override {
        SipLineFixture::SetUp();
        platform::SetTimeScale(10.0);
        VM_SetMainWindow(m_window.hwnd());
        m_cfg = std::make_unique<VM_CAppCfg>(m_home.path().c_str());
        m_cfg->VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL | VM_FLAG_SINGLE_MAILBOX);
        m_cfg->VM_SetFlag(false, VM_FLAG_PRESCREEN);
        m_book = std::make_unique<VM_CAddressBook>(m_cfg.get());
        AddCodedPrompts();
    }
    void TearDown() override {
        if (m_controller) m_controller->VM_Stop();
        m_owner.onDigit = nullptr;
        m_controller.reset();
        SipLineFixture::TearDown();
        VM_SetMainWindow(nullptr);
    }

    // The shipped prompts and greeting as the line codes them for a PCMU
    // caller (they are 16-bit files: each sample through the encoder).
    void AddCodedPrompts() {
        auto add = [this](const std::string& name, const std::string& path) {
            std::string coded = ULawOfWave(path);
            if (!coded.empty()) m_clips[name] = coded;
        };
        for (int n = 0; n < 400; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "Prp%04d", n);
            add(name, VM_FindShippedFile(VM_FOLDER_PROMPT, (std::string(name) + ".Wav").c_str()));
        }
        add("GTMain", VM_FindShippedFile(VM_FOLDER_GREETING, "GTMain.wav"));
    }

    // sipp calls with the test's RTP endpoint as its media; the line
    // answers and the single-mailbox flow runs the call.
    bool Connect() {
        StartLine();
        m_controller = std::make_unique<VM_CSingleMailboxCtrl>(m_cfg.get(), m_book.get());
        m_owner.onDigit = [this](DWORD digit) {
            LRESULT result = 0;
            m_controller->VM_OnMessage(nullptr, VM_MSG_DIGIT, static_cast<WPARAM>(static_cast<signed char>(digit & 0xFF)),
                                       0, result);
        };
        m_sipp = Sipp("caller_held.xml", CallerKeys(m_peer.Port()));
        VM_CCall* call = AnswerFirstCall();
        if (call == nullptr) return false;
        call->VM_MonitorDigits(LINEDIGITMODE_DTMF);
        call->VM_SetRings(-1);  // marked answered, so that stopping drops it
        return m_controller->VM_Start(call, &m_record, &m_status, &m_logFlag) &&
               RunUntil([this] { return m_peer.HeardFromLine(); });
    }

    // Dispatches messages, those for the main window to the controller as
    // the answer machine passes them on.
    bool RunUntil(const std::function<bool()>& pred, int realSeconds = 120) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(realSeconds);
        while (std::chrono::steady_clock::now() < end) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == m_window.hwnd())
                    OnMainWindow(msg);
                else
                    DispatchMessageA(&msg);
            }
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return pred();
    }
    void OnMainWindow(const MSG& msg) {
        if (msg.message == VM_MSG_FLOW_ENDED) {
            m_flowEnded = true;
            if (m_controller) m_controller->VM_Stop();
            return;
        }
        LRESULT result = 0;
        if (m_controller) m_controller->VM_OnMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, result);
    }

    // Where the caller began to hear the clip: the first of its 10 ms
    // pieces after any leading silence found in what the line sent, when
    // most of its first 40 ms is there (a device thread held up on a loaded
    // machine may cut a gap into it); npos when not heard.
    size_t HeardAt(const std::string& name) const {
        auto it = m_clips.find(name);
        if (it == m_clips.end()) return std::string::npos;
        const std::string& coded = it->second;
        const size_t sound = std::min(coded.find_first_not_of('\xFF'), coded.size());
        if (coded.size() - sound < kStarted) return std::string::npos;
        const std::string heard = m_peer.Payloads(0);
        size_t first = std::string::npos;
        int found = 0;
        for (size_t piece = 0; piece < kStarted; piece += kPiece) {
            const size_t at = heard.find(coded.substr(sound + piece, kPiece));
            if (at == std::string::npos) continue;
            found++;
            if (first == std::string::npos) first = at > sound + piece ? at - sound - piece : 0;
        }
        return found * 2 > static_cast<int>(kStarted / kPiece) ? first : std::string::npos;
    }
    bool HearAtLeast(const std::string& clip) {
        return RunUntil([&] { return HeardAt(clip) != std::string::npos; }, 60);
    }
    void Press(const std::string& keys) {
        for (char key : keys) {
            const int event = key == '*' ? 10 : key == '#' ? 11 : key - '0';
            SendPress(m_peer, 101, event, &m_sequence, m_timestamp);
            m_timestamp += 1600;
        }
    }
    // The caller speaks a tone for the given time, paced as a caller is.
    void Speak(double seconds) {
        const std::string voice = ToneULaw(700.0, static_cast<size_t>(seconds * 8000));
        for (size_t at = 0; at + 160 <= voice.size(); at += 160) {
            m_peer.Send(0, at == 0, m_sequence++, m_timestamp, voice.substr(at, 160));
            m_timestamp += 160;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // The clips heard, by where they began.
    std::string Joined() const {
        std::map<size_t, std::string> order;
        for (const auto& [name, coded] : m_clips) {
            const size_t at = HeardAt(name);
            if (at != std::string::npos) order[at] = name;
        }
        std::string text;
        for (const auto& [at, name] : order) text += name + "@" + std::to_string(at) + " ";
        return text + "; " + std::to_string(m_peer.Payloads(0).size()) + " samples heard";
    }

    testsupport::TempDir m_home;
    testsupport::MessageWindow m_window;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    std::unique_ptr<VM_CAddressBook> m_book;
    std::unique_ptr<VM_CSingleMailboxCtrl> m_controller;
    std::map<std::string, std::string> m_clips;  // name -> mu-law codes
    StatusLog m_status;
    VM_CCallInfo m_record;
    std::int32_t m_logFlag = 1;
    bool m_flowEnded = false;
    RtpPeer m_peer;
    std::unique_ptr<PeerProcess> m_sipp;
    std::uint16_t m_sequence = 1;
    std::uint32_t m_timestamp = 5000;
};

TEST_F(SipFlowConcurrency, CallerHearsGreetingAndBeepAndLeavesAMessage) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(HearAtLeast("GTMain")) << Joined();
    ASSERT_TRUE(HearAtLeast("Prp0000")) << "the beep; heard: " << Joined();
    Speak(2.0);
    // The caller falls silent: the flow ends the recording, says good-bye
    // and hangs up, which sipp sees as our BYE.
    ASSERT_TRUE(RunUntil([this] { return m_flowEnded; })) << Joined();
    ASSERT_TRUE(RunUntil([this] { return m_owner.HasState(LINECALLSTATE_IDLE); }));
    ExpectSippPassed(*m_sipp);

    EXPECT_GE(ShareFound(m_peer.Payloads(0), m_clips["GTMain"]), 0.9) << "the greeting code for code: " << Joined();
    EXPECT_LT(HeardAt("GTMain"), HeardAt("Prp0000")) << "greeting, then the beep: " << Joined();
    const char* wave = m_record.VM_GetWaveFile();
    ASSERT_NE(wave, nullptr) << "the record names the message";
    VM_CWaveFile message(wave, VM_WAVE_MODE_READ);
    ASSERT_TRUE(message.VM_IsOpen());
    EXPECT_GE(message.VM_GetDataSize(), 12000u) << "the caller's two seconds, most of them";
    EXPECT_EQ(m_logFlag, 1);
}

TEST_F(SipFlowConcurrency, OwnerLogsInToRemoteRetrievalByTouchTones) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(HearAtLeast("GTMain")) << Joined();
    Press("#");
    ASSERT_TRUE(HearAtLeast("Prp0016")) << Joined();
    Press("1");
    ASSERT_TRUE(HearAtLeast("Prp0006")) << Joined();
    Press("908172#");
    ASSERT_TRUE(HearAtLeast("Prp0007")) << Joined();
    m_controller->VM_Stop();  // the owner is done: the line hangs up
    ASSERT_TRUE(RunUntil([this] { return m_owner.HasState(LINECALLSTATE_IDLE); }));
    ExpectSippPassed(*m_sipp);
    // Read once the call's thread has ended.
    EXPECT_EQ(m_logFlag, 0) << "a retrieval call is not entered in the call log";
}

}  // namespace
}  // namespace siptest

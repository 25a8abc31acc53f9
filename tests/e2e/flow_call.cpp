#include "e2e/flow_call.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "audio/wave_test_files.h"
#include "callflow/callflow_messages.h"
#include "callflow/main_window.h"
#include "callflow/multi_mailbox_ctrl.h"
#include "platform/win32/clock.h"
#include "store/deleted_messages.h"
#include "store/list.h"

namespace e2e {

namespace {

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

// Fast enough for a quick run, slow enough that a loaded machine still
// answers a prompt before its 15-second wait runs out.
constexpr double kTimeScale = 10.0;

}  // namespace

void DigitRelay::VM_OnMonitorDigits(VM_CCall* call, DWORD digit, DWORD mode) {
    RecordingOwner::VM_OnMonitorDigits(call, digit, mode);
    LRESULT result = 0;
    if (controller != nullptr)
        controller->VM_OnMessage(nullptr, VM_MSG_DIGIT, static_cast<WPARAM>(static_cast<signed char>(digit & 0xFF)),
                                 0, result);
}

void FlowCallTest::SetUp() {
    ASSERT_TRUE(kNoCards);
    platform::SetTimeScale(kTimeScale);
    simline::InstallSimCallAudio();
    VM_SetMainWindow(m_window.hwnd());
    m_cfg = std::make_unique<VM_CAppCfg>(m_home.path().c_str());
    m_cfg->VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL | VM_FLAG_SINGLE_MAILBOX);
    m_cfg->VM_SetFlag(false, VM_FLAG_PRESCREEN);
    m_book = std::make_unique<VM_CAddressBook>(m_cfg.get());
    m_clips.AddShippedPrompts();
}

void FlowCallTest::TearDown() {
    if (m_controller) m_controller->VM_Stop();
    m_owner.controller = nullptr;
    m_controller.reset();
    linetest::SimLineTest::TearDown();
    simline::SetCallAudioFactory(nullptr);
    VM_SetMainWindow(nullptr);
    platform::SetTimeScale(1.0);
}

void FlowCallTest::MakeController(bool multi) {
    m_cfg->VM_SetFlag(!multi, VM_FLAG_SINGLE_MAILBOX);
    if (multi)
        m_controller = std::make_unique<VM_CMultiMailboxCtrl>(m_cfg.get(), m_book.get());
    else
        m_controller = std::make_unique<VM_CSingleMailboxCtrl>(m_cfg.get(), m_book.get());
    m_owner.controller = m_controller.get();
}

bool FlowCallTest::Connect() {
    if (!m_controller) MakeController();
    m_remote = StartCall(&m_owner, {simline::LineConfig{}});
    if (m_owner.calls.empty()) return false;
    VM_CCall* call = m_owner.calls[0].get();
    call->VM_SetRings(-1);  // marked answered, so that stopping drops it
    if (!call->VM_Answer()) return false;
    if (!RunUntil([&] { return m_owner.HasState(LINECALLSTATE_CONNECTED); })) return false;
    return m_controller->VM_Start(call, &m_record, &m_status, &m_logFlag);
}

void FlowCallTest::OnMainWindow(const MSG& msg) {
    if (msg.message == VM_MSG_REMOTE_DELETE) {
        m_deletes.push_back(
            VM_RemoteDeleteMessage(*m_cfg, static_cast<int>(msg.wParam), static_cast<int32_t>(msg.lParam), nullptr).done);
        return;
    }
    if (msg.message == VM_MSG_FLOW_ENDED) {
        m_flowEnded = true;
        if (m_controller) m_controller->VM_Stop();
        return;
    }
    LRESULT result = 0;
    if (m_controller) m_controller->VM_OnMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, result);
}

void FlowCallTest::Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd == m_window.hwnd())
            OnMainWindow(msg);
        else
            DispatchMessageA(&msg);
    }
}

bool FlowCallTest::RunUntil(const std::function<bool()>& pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < end) {
        Pump();
        if (pred()) return true;
        Sleep(1);
    }
    return pred();
}

bool FlowCallTest::HearAtLeast(const std::string& clip, size_t samples, int times) {
    return RunUntil([&] {
        int seen = 0;
        for (const HeardClip& heard : Heard())
            if (heard.name == clip && heard.samples >= samples) ++seen;
        return seen >= times;
    });
}

void FlowCallTest::Press(const std::string& keys) {
    for (char key : keys) EXPECT_TRUE(m_remote->PressDigit(key)) << key;
}

void FlowCallTest::HangUp() {
    ASSERT_TRUE(m_remote->HangUp());
    ASSERT_TRUE(RunUntil([&] { return m_owner.HasState(LINECALLSTATE_DISCONNECTED); }));
    if (m_controller) m_controller->VM_Stop();
}

std::vector<HeardClip> FlowCallTest::Heard() const {
    auto* audio = dynamic_cast<simline::SimCallAudio*>(m_remote ? m_remote->Audio() : nullptr);
    return audio != nullptr ? m_clips.Split(audio->CapturedSamples()) : std::vector<HeardClip>{};
}

void FlowCallTest::StoreMessage(const std::string& name, int month, int day, int hour, int minute, double hz,
                                double seconds, int mailbox) {
    std::vector<int16_t> tone(static_cast<size_t>(seconds * 8000.0));
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(9000.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / 8000.0));
    std::unique_ptr<char[]> wave(m_cfg->VM_GetNewMessageFileName());
    ASSERT_NE(wave, nullptr);
    wavetest::WriteWave(wave.get(), wavetest::Format(WAVE_FORMAT_PCM, 16), wavetest::Pcm16Bytes(tone));
    ASSERT_TRUE(m_clips.Add(name, wave.get()));

    std::unique_ptr<char[]> listFile(m_cfg->VM_GetMessageListFileName(m_cfg->m_idInbox));
    VM_CCallInfo prototype;
    VM_CList inbox(&prototype, listFile.get(), VM_CList::kFileBacked);
    auto* record = new VM_CCallInfo();
    record->VM_SetTime(2026, month, day, hour, minute, 0);
    record->VM_SetAttr(VM_CCallInfo::kAttrName, name.c_str());
    record->VM_SetMailbox(mailbox);
    record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.get());
    ASSERT_TRUE(inbox.VM_Append(record));
    ASSERT_TRUE(inbox.VM_Save());
}

}  // namespace e2e

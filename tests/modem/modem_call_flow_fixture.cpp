#include "support/recording_caller_id.h"
#include "modem/modem_call_flow_fixture.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "audio/wave_file.h"
#include "callflow/main_window.h"
#include "platform/win32/clock.h"
#include "platform/win32/win32.h"
#include "platform/winmm/wave_file_io.h"
#include "telephony/tapi_session.h"

namespace modemtest {

namespace {

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();
// Fast, yet slow enough that a loaded machine answers each prompt in time.
constexpr double kTimeScale = 10.0;
const WAVEFORMATEX kLineFormat{WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0};


}  // namespace

bool ModemCallFlowTest::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (amtest::KeepFiledRecord(message, wParam, lParam, m_records)) return true;
    if (message == VM_MSG_CALL_ENDED) ++m_callsEnded;
    return m_machine && m_machine->VM_OnMessage(hwnd, message, wParam, lParam, result);
}

void ModemCallFlowTest::SetUp() {
    ASSERT_TRUE(kNoCards);
    AddressBookFiles::SetUp();
    platform::SetTimeScale(kTimeScale);
    m_window = testsupport::MessageWindow::For(this);
    m_hWnd = m_window->hwnd();
    ASSERT_NE(m_hWnd, nullptr);
    VM_SetMainWindow(m_hWnd);
    AnswerPlainly(2);
    m_cfg->VM_SetFlag(false, VM_FLAG_REMOTE_RETRIEVAL);
    m_clips.AddShippedPrompts();
    m_clips.HeardThrough(kLineFormat);
}

void ModemCallFlowTest::TearDown() {
    m_machine.reset();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    m_records.clear();
    VM_SetMainWindow(nullptr);
    m_window.reset();
    VM_CTapi::VM_Shutdown();
    m_service.reset();
    m_modem.reset();
    platform::SetTimeScale(1.0);
}

void ModemCallFlowTest::StartMachine() {
    m_modem = std::make_unique<modemsim::ModemSimulator>(m_dir.path(), modemsim::Family::kV253);
    modemline::ModemSettings settings;
    settings.port = m_modem->Path();
    settings.lockDir = m_dir.path();
    settings.commandTimeoutMs = 1500;
    settings.reopenMs = 50;
    m_service = std::make_unique<modemline::ModemLineService>(std::vector{settings});
    m_service->Install();
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_service->InService(0); })) << "the modem was not initialised";
    m_machine = std::make_unique<VM_CAnswerMachine>(&m_tollSaver, m_hWnd, m_cfg.get());
    m_machine->VM_SetCallerIDDlgMaker([this](HWND parent, VM_CAnswerMachine* owner) {
        return std::make_unique<testsupport::RecordingCallerID>(parent, owner, &m_status);
    });
    ASSERT_TRUE(m_machine->VM_Start());
}

bool ModemCallFlowTest::RingUntilAnswered(const std::string& number) {
    modemsim::CallerIdSpec caller;
    caller.number = number;
    for (int ring = 0; ring < 8; ++ring) {
        m_modem->Ring();
        if (ring == 0) m_modem->SendCallerId(caller);
        // A ring period, in scaled time, with the main thread at work.
        const DWORD until = GetTickCount() + 1000;
        PumpUntil([&] { return m_modem->OffHook() || GetTickCount() >= until; });
        if (m_modem->OffHook()) return true;
    }
    return false;
}

bool ModemCallFlowTest::PumpUntil(const std::function<bool()>& pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (pred()) return true;
        Sleep(1);
    }
    return pred();
}

std::vector<e2e::HeardClip> ModemCallFlowTest::Heard() const {
    const std::string played = m_modem->Played();
    return m_clips.Split(winmm::DecodeSamples(kLineFormat, reinterpret_cast<const BYTE*>(played.data()),
                                              static_cast<DWORD>(played.size())));
}

bool ModemCallFlowTest::HearAtLeast(const std::string& clip, size_t samples) {
    return PumpUntil([&] { return e2e::HeardSamples(Heard(), clip) >= samples; });
}

void ModemCallFlowTest::Press(const std::string& keys) {
    for (char key : keys) m_modem->Dtmf(key, modemsim::DtmfStyle::kBracketed);
}

bool ModemCallFlowTest::WaitForCallEnd() {
    return PumpUntil([&] {
        return m_callsEnded > 0 && !m_machine->VM_HasCall() && m_machine->VM_IsStarted() &&
               !m_modem->OffHook();
    });
}

std::string ModemCallFlowTest::CallerTone(double hz, size_t samples) {
    std::vector<std::int16_t> tone(samples);
    for (size_t i = 0; i < samples; ++i)
        tone[i] = static_cast<std::int16_t>(9000.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / 8000.0));
    std::string bytes(samples, '\0');
    winmm::EncodeSamples(kLineFormat, tone.data(), samples, reinterpret_cast<BYTE*>(bytes.data()));
    return bytes;
}

std::string Joined(const std::vector<e2e::HeardClip>& heard) {
    std::string text;
    for (const e2e::HeardClip& clip : heard)
        text += clip.name + "(" + std::to_string(clip.samples) + (clip.whole ? "!" : "") + ") ";
    return text;
}

std::vector<std::int16_t> RecordedSamples(const char* path) {
    VM_CWaveFile file(path, VM_WAVE_MODE_READ);
    if (!file.VM_IsOpen() || file.VM_GetFormat() == nullptr) return {};
    std::vector<BYTE> bytes;
    std::vector<BYTE> buffer(64 * 1024);
    for (LONG got; (got = file.VM_ReadData(buffer.data())) > 0;)
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    return winmm::DecodeSamples(*file.VM_GetFormat(), bytes.data(), static_cast<DWORD>(bytes.size()));
}

}  // namespace modemtest

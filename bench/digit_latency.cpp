// digit-latency: how much of the greeting the caller still hears after
// pressing a touch tone, in milliseconds of audio, with the real call flow
// on the simulated line at real speed; the anchor is one 100 ms wave buffer.
//
// The simulated line hands a buffer to the caller when its 100 ms have been
// played, and a reset drops the one playing. A tone pressed p ms into a
// buffer's play therefore adds audio only when p plus the time to the reset
// (d) reaches the buffer's end. Pressing at points spread evenly over the last
// kWindowMs of the buffer, d is kWindowMs times the share of calls that heard
// more; when every one did, d is the mean over points spread over the whole
// buffer instead.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_file.h"
#include "callflow/callflow_messages.h"
#include "callflow/main_window.h"
#include "callflow/single_mailbox_ctrl.h"
#include "lines/sim/sim_call_audio_device.h"
#include "lines/sim/sim_line_service.h"
#include "platform/win32/win32.h"
#include "platform/winmm/wave_file_io.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "telephony/call.h"
#include "telephony/line.h"
#include "telephony/tapi_session.h"

namespace {

constexpr double kBufferMs = 100.0;
constexpr double kWindowMs = 10.0;
constexpr int kCalls = 50;
constexpr double kAnchorMs = 100.0;

class Owner : public VM_ILineCbk, public VM_ICallCbk {
public:
    void VM_OnLineDevState(VM_CLine*, DWORD, DWORD, DWORD) override {}
    void VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD address, DWORD) override {
        call = std::make_unique<VM_CCall>(line, hCall, address);
    }
    void VM_OnLineClose(VM_CLine*) override {}
    void VM_OnCallReply(VM_CCall*, DWORD, LONG, VM_CALLREQUEST) override {}
    void VM_OnCallState(VM_CCall*, DWORD state, DWORD, DWORD) override { lastState = state; }
    void VM_OnCallInfo(VM_CCall*, DWORD) override {}
    void VM_OnMonitorDigits(VM_CCall*, DWORD digit, DWORD) override {
        LRESULT result = 0;
        if (controller != nullptr)
            controller->VM_OnMessage(nullptr, VM_MSG_DIGIT, static_cast<WPARAM>(static_cast<signed char>(digit)), 0,
                                     result);
    }
    void VM_OnMonitorMedia(VM_CCall*, DWORD) override {}

    std::unique_ptr<VM_CCall> call;
    DWORD lastState = 0;
    VM_CMailboxController* controller = nullptr;
};

HWND g_main = nullptr;

LRESULT DefaultProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeMainWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefaultProc;
    wc.lpszClassName = "BenchDigitLatencyMain";
    if (RegisterClassA(&wc) == 0) return nullptr;
    return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}
Owner* g_owner = nullptr;

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd == g_main && g_owner->controller != nullptr) {
            LRESULT result = 0;
            g_owner->controller->VM_OnMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam, result);
        } else {
            DispatchMessageA(&msg);
        }
    }
}

// Without napping, the moment a buffer reaches the caller is seen at once.
template <typename Pred>
bool RunUntil(Pred pred, bool nap = true) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        Pump();
        if (pred()) return true;
        if (nap) Sleep(1);
    }
    return false;
}

std::vector<std::int16_t> FileSamples(const char* path) {
    VM_CWaveFile file(path, VM_WAVE_MODE_READ);
    if (file.VM_GetFormat() == nullptr) return {};
    std::vector<BYTE> bytes, buffer(64 * 1024);
    for (LONG got; (got = file.VM_ReadData(buffer.data())) > 0;) bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    return winmm::DecodeSamples(*file.VM_GetFormat(), bytes.data(), static_cast<DWORD>(bytes.size()));
}

size_t GreetingHeard(const std::vector<std::int16_t>& captured, const std::vector<std::int16_t>& greeting) {
    size_t n = 0;
    while (n < captured.size() && n < greeting.size() && captured[n] == greeting[n]) ++n;
    return n;
}

// One call: # pressed phaseMs into the play of the buffer after pressAt
// samples of the greeting; the greeting heard from the press on, in
// milliseconds, or a negative value.
double OneCall(simline::SimLineService& service, VM_CAppCfg& cfg, VM_CAddressBook& book,
               const std::vector<std::int16_t>& greeting, size_t pressAt, double phaseMs) {
    Owner owner;
    g_owner = &owner;
    VM_CLine line(0, &owner);
    if (!line.VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE)) return -1;
    auto remote = service.OfferCall(0, {});
    if (!RunUntil([&] { return owner.call != nullptr; })) return -1;
    owner.call->VM_SetRings(-1);
    owner.call->VM_Answer();
    if (!RunUntil([&] { return owner.lastState == LINECALLSTATE_CONNECTED; })) return -1;
    auto* audio = dynamic_cast<simline::SimCallAudio*>(remote->Audio());
    VM_CSingleMailboxCtrl controller(&cfg, &book);
    owner.controller = &controller;
    double latency = -1;
    if (audio != nullptr && controller.VM_Start(owner.call.get(), nullptr, nullptr, nullptr) &&
        RunUntil([&] { return audio->CapturedSamples().size() >= pressAt; }, false)) {
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(phaseMs));
        const size_t atPress = GreetingHeard(audio->CapturedSamples(), greeting);
        remote->PressDigit('#');
        // The greeting has stopped once something else follows it.
        if (RunUntil([&] { return audio->CapturedSamples().size() > GreetingHeard(audio->CapturedSamples(), greeting); }))
            latency = static_cast<double>(GreetingHeard(audio->CapturedSamples(), greeting) - atPress) / 8.0;
    }
    remote->HangUp();
    RunUntil([&] { return owner.lastState == LINECALLSTATE_DISCONNECTED; });
    controller.VM_Stop();
    owner.controller = nullptr;
    owner.call.reset();
    return latency;
}

// The audio (ms) played from a tone to the greeting's stop, or negative.
double TimeToReset(simline::SimLineService& service, VM_CAppCfg& cfg, VM_CAddressBook& book,
                   const std::vector<std::int16_t>& greeting) {
    auto sweep = [&](double from, double width, double* heardMore) {
        double total = 0;
        int calls = 0, more = 0;
        for (int i = 0; i < kCalls; ++i) {
            double ms = OneCall(service, cfg, book, greeting, 1600, from + width * (i + 0.5) / kCalls);
            if (ms < 0) continue;
            total += ms;
            more += ms > 0 ? 1 : 0;
            ++calls;
        }
        if (heardMore != nullptr) *heardMore = calls > 0 ? static_cast<double>(more) / calls : -1;
        return calls > 0 ? total / calls : -1;
    };
    double share = 0;
    if (sweep(kBufferMs - kWindowMs, kWindowMs, &share) < 0) return -1;
    if (share < 1.0) return kWindowMs * share;
    return sweep(0, kBufferMs, nullptr);
}

}  // namespace

int main() {
    setenv("VOCERRA_NO_SOUND_CARDS", "1", 1);
    char folder[] = "/tmp/vocerra-digit-latency-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    simline::SimLineService service({simline::LineConfig{}});
    service.Install();
    simline::InstallSimCallAudio();
    g_main = MakeMainWindow();
    VM_SetMainWindow(g_main);
    int status = 1;
    {
        VM_CAppCfg cfg(folder);
        cfg.VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL | VM_FLAG_SINGLE_MAILBOX);
        cfg.VM_SetFlag(false, VM_FLAG_PRESCREEN);
        VM_CAddressBook book(&cfg);
        std::unique_ptr<char[]> greetingPath(cfg.VM_GetMainGreetingFileName());
        const std::vector<std::int16_t> greeting = FileSamples(greetingPath.get());
        double ours = -1;
        if (!greeting.empty() && VM_CTapi::VM_Initialize()) {
            ours = TimeToReset(service, cfg, book, greeting);
            VM_CTapi::VM_Shutdown();
        }
        if (ours >= 0) {
            // Finer than one step of the sweep the measure cannot tell.
            const double resolution = kWindowMs / kCalls;
            std::printf("digit-latency: %.1f ms vs %.0f ms = %.2fx\n", ours, kAnchorMs,
                        kAnchorMs / std::max(ours, resolution));
            status = 0;
        } else {
            std::fprintf(stderr, "digit-latency: no call could be measured\n");
        }
    }
    VM_SetMainWindow(nullptr);
    std::string cleanup = std::string("rm -rf ") + folder;
    if (std::system(cleanup.c_str()) != 0) status = 1;
    return status;
}

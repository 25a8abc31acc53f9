#include "e2e/mailbox_call_driver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>

#include "audio/wave_test_files.h"
#include "callflow/main_window.h"
#include "callflow/status_texts.h"
#include "platform/win32/win32.h"
#include "platform/winmm/g711.h"
#include "platform/winmm/wave_file_io.h"

namespace mailboxflow {

std::string MuLaw(const std::vector<std::int16_t>& samples) {
    std::string out;
    out.reserve(samples.size());
    for (std::int16_t s : samples) out.push_back(static_cast<char>(g711::LinearToULaw(s)));
    return out;
}

std::vector<std::int16_t> MuLawSamples(const std::string& data) {
    std::vector<std::int16_t> out;
    out.reserve(data.size());
    for (char c : data) out.push_back(g711::ULawToLinear(static_cast<std::uint8_t>(c)));
    return out;
}

std::vector<std::int16_t> ToneSequence(const std::vector<double>& hz, int msEach, double phase) {
    std::vector<std::int16_t> out;
    const int n = msEach * 8;
    for (double f : hz) {
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / 8000.0;
            out.push_back(static_cast<std::int16_t>(std::lrint(9000.0 * std::sin(2.0 * std::numbers::pi * f * t + phase))));
        }
    }
    return out;
}

std::string WriteMuLawWave(const std::string& path, const std::vector<std::int16_t>& samples) {
    const std::string data = MuLaw(samples);
    wavetest::WriteWave(path, wavetest::Format(WAVE_FORMAT_MULAW, 8), data);
    return data;
}

std::string WaveData(const std::string& path) {
    WAVEFORMATEX format{};
    std::string data;
    if (!winmm::ReadWaveFile(path, &format, &data)) return {};
    return data;
}

namespace {

size_t CommonPrefix(const std::string& a, size_t at, const std::string& b) {
    size_t n = 0;
    while (at + n < a.size() && n < b.size() && a[at + n] == b[n]) ++n;
    return n;
}

// The file that goes on longest at position at; its name and length.
std::pair<std::string, size_t> LongestMatch(const std::string& captured, size_t at,
                                            const std::map<std::string, std::string>& files) {
    std::pair<std::string, size_t> best{"", 0};
    for (const auto& [name, data] : files) {
        const size_t n = CommonPrefix(captured, at, data);
        if (n > best.second) best = {name, n};
    }
    return best;
}

}  // namespace

std::string Heard(const std::string& captured, const std::map<std::string, std::string>& files) {
    std::string out;
    size_t at = 0;
    while (at < captured.size()) {
        auto [name, n] = LongestMatch(captured, at, files);
        if (n == 0) return out + (out.empty() ? "" : ",") + "?";
        size_t cut = n;
        const bool whole = n == files.at(name).size();
        if (!whole && at + n < captured.size()) {
            // A file cut short may share a byte or two with the next one's
            // start; the cut is where the next file goes on longest.
            size_t bestNext = 0;
            for (size_t c = n > 4 ? n - 4 : 1; c <= n; ++c) {
                const size_t next = LongestMatch(captured, at + c, files).second;
                if (next > bestNext) bestNext = next, cut = c;
            }
        }
        out += (out.empty() ? "" : ",") + name + (whole ? "" : "~");
        at += cut;
    }
    return out;
}

namespace {

constexpr const char* kClassName = "VocerraFlowTestMainWindow";

}  // namespace

CallDriver::CallDriver(VM_CMailboxController* controller) : m_pController(controller) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &CallDriver::Proc;
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0;
    }();
    (void)registered;
    m_hwnd = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    VM_SetMainWindow(m_hwnd);
}

CallDriver::~CallDriver() {
    m_pController->VM_Stop();
    m_call.reset();
    m_line.reset();
    VM_SetMainWindow(nullptr);
    SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hwnd);
}

bool CallDriver::OpenLine() {
    m_line = std::make_unique<VM_CLine>(0, this);
    return m_line->VM_Open(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                           LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_UNKNOWN);
}

bool CallDriver::PumpUntil(const std::function<bool()>& done, int guardSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(guardSeconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return done();
}

void CallDriver::VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD addressID, DWORD /*privilege*/) {
    if (m_call) return;
    m_call = std::make_unique<VM_CCall>(line, hCall, addressID);
    // Marked answered before answering, as the answer machine does.
    m_call->VM_SetRings(-1);
    m_call->VM_Answer();
}

void CallDriver::VM_OnCallState(VM_CCall* call, DWORD state, DWORD, DWORD) {
    if (call != m_call.get()) return;
    if (state == LINECALLSTATE_CONNECTED) {
        started = m_pController->VM_Start(call, &record, this, &logFlag);
    } else if (state == LINECALLSTATE_DISCONNECTED || state == LINECALLSTATE_BUSY) {
        ++hangUps;
        m_pController->VM_Stop();
    } else if (state == LINECALLSTATE_IDLE) {
        m_pController->VM_Stop();
        idle = true;
    }
}

void CallDriver::VM_OnMonitorDigits(VM_CCall*, DWORD digit, DWORD) {
    LRESULT result = 0;
    const auto character = static_cast<signed char>(digit & 0xFF);
    m_pController->VM_OnMessage(nullptr, 0x800E, static_cast<WPARAM>(static_cast<LONG_PTR>(character)), 0, result);
}

bool CallDriver::ShowedStatus(int index) const {
    const char* text = VM_GetStatusText(index);
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
}

LRESULT CallDriver::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CallDriver*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        if (message == 0x800F && wParam == reinterpret_cast<WPARAM>(self->m_pController)) {
            ++self->flowEnded;
            self->m_pController->VM_Stop();  // drops the call, which then goes idle
            return 0;
        }
        LRESULT result = 0;
        if (self->m_pController->VM_OnMessage(hwnd, message, wParam, lParam, result)) return result;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace mailboxflow

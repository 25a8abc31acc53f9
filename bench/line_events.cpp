// line-events: line-state events per second from the simulated line service
// to the owner of an opened VM_CLine (hidden event window, session callback,
// trace test, line routing), against the bare platform path the events ride
// on: PostMessageA to a window of the same thread and DispatchMessageA.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "lines/sim/sim_line_service.h"
#include "platform/win32/win32.h"
#include "telephony/line.h"
#include "telephony/tapi_session.h"

namespace {

constexpr int kEvents = 200000;
constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

class CountingOwner : public VM_ILineCbk {
public:
    void VM_OnLineDevState(VM_CLine*, DWORD, DWORD, DWORD) override { count++; }
    void VM_OnNewCall(VM_CLine*, HCALL, DWORD, DWORD) override {}
    void VM_OnLineClose(VM_CLine*) override {}
    int count = 0;
};

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

double OursPerSecond(simline::SimLineService& service) {
    CountingOwner owner;
    VM_CLine line(0, &owner);
    if (!line.VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE)) return 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kEvents; i++) service.SendLineDevState(0, LINEDEVSTATE_RINGING, 1, 0);
    Pump();
    double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (owner.count != kEvents) std::fprintf(stderr, "lost events: %d\n", owner.count);
    return kEvents / seconds;
}

int g_dispatched = 0;

LRESULT CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER) {
        g_dispatched++;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

double AnchorPerSecond() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = "BenchLineEventsAnchor";
        return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return 0;
    HWND hwnd = CreateWindowExA(0, "BenchLineEventsAnchor", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
    g_dispatched = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kEvents; i++) PostMessageA(hwnd, WM_USER, 0, i);
    Pump();
    double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (g_dispatched != kEvents) std::fprintf(stderr, "lost messages: %d\n", g_dispatched);
    DestroyWindow(hwnd);
    return kEvents / seconds;
}

}  // namespace

int main() {
    simline::SimLineService service({simline::LineConfig{}});
    service.Install();
    if (!VM_CTapi::VM_Initialize()) {
        std::fprintf(stderr, "no telephony session\n");
        return 1;
    }
    double ours = 0;
    double anchor = 0;
    for (int round = 0; round < kRounds; round++) {
        ours = std::max(ours, OursPerSecond(service));
        anchor = std::max(anchor, AnchorPerSecond());
    }
    VM_CTapi::VM_Shutdown();
    std::printf("line-events: %.0f kevents/s vs %.0f kmessages/s = %.2fx\n", ours / 1e3, anchor / 1e3,
                ours / anchor);
    return 0;
}

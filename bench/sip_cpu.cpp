// sip-cpu: CPU seconds per minute of a connected SIP call being recorded.
// sipp calls us and speaks for a while; we answer on the SIP line and the
// recorder writes the call to a WAVE file (our process's CPU time over the
// call). The anchor: the same caller calls baresip, which answers at once
// and records the call to a file with its sndfile module (baresip's CPU time
// over the call). Everything runs on 127.0.0.1.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "lines/sip/sip_line_service.h"
#include "platform/win32/win32.h"
#include "platform/winmm/g711.h"
#include "telephony/call.h"
#include "telephony/line.h"
#include "telephony/tapi_session.h"
#include "telephony/var_structs.h"

extern char** environ;

namespace {

const int kCallSeconds = [] {
    const char* v = std::getenv("VOCERRA_BENCH_SIP_SECONDS");
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : 20;
}();

double CpuSeconds(const rusage& r) {
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

double OwnCpu() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return CpuSeconds(r);
}

// utime + stime of another process, from /proc.
double ProcessCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(close + 2)) {
        if (c == ' ') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    if (fields.size() < 13) return 0;
    return static_cast<double>(std::stoull(fields[11]) + std::stoull(fields[12])) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool Finished(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// A free even UDP port of 127.0.0.1 (sipp and baresip take the next ones too).
std::uint16_t FreePort() {
    static std::uint16_t next = static_cast<std::uint16_t>(40000 + (getpid() % 2000) * 4);
    next = static_cast<std::uint16_t>(next + 8);
    return next;
}

std::unique_ptr<char, void (*)(char*)> TempFolder() {
    char name[] = "/tmp/vocerra-sipcpu-XXXXXX";
    char* made = mkdtemp(name);
    return {made != nullptr ? strdup(made) : nullptr, [](char* p) {
                if (p == nullptr) return;
                std::string command = std::string("rm -rf ") + p;
                if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", p);
                std::free(p);
            }};
}

pid_t StartCaller(const std::string& folder, std::uint16_t target) {
    std::string voice(static_cast<size_t>(kCallSeconds + 2) * 8000, '\0');
    for (size_t i = 0; i < voice.size(); i++)
        voice[i] = static_cast<char>(g711::LinearToULaw(static_cast<std::int16_t>(
            std::lrint(6000.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / 8000.0)))));
    std::ofstream(folder + "/caller.ulaw", std::ios::binary) << voice;
    const std::vector<std::string> argv = {
        "sipp", "127.0.0.1:" + std::to_string(target), "-sf", std::string(VOCERRA_SIP_DATA) + "/caller_talks.xml",
        "-i", "127.0.0.1", "-p", std::to_string(FreePort()), "-mi", "127.0.0.1", "-mp", std::to_string(FreePort()),
        "-m", "1", "-nostdin", "-timeout", std::to_string(kCallSeconds + 60) + "s", "-d",
        std::to_string(kCallSeconds * 1000), "-key", "caller_from", "\"Bench\" <sip:5551234@127.0.0.1>", "-key",
        "privacy", "Privacy: none", "-key", "formats", "0 101", "-key", "pt1", "0", "-key", "enc1", "PCMU/8000",
        "-key", "pt2", "101", "-key", "enc2", "telephone-event/8000", "-key", "answer_check", "m=audio"};
    const std::string cwd = folder;
    if (chdir(cwd.c_str()) != 0) return -1;
    return Spawn(argv, folder + "/sipp.log");
}

class Owner : public VM_ILineCbk, public VM_ICallCbk {
public:
    std::unique_ptr<VM_CCall> call;
    bool connected = false;
    bool ended = false;
    void VM_OnLineDevState(VM_CLine*, DWORD, DWORD, DWORD) override {}
    void VM_OnNewCall(VM_CLine* line, HCALL hCall, DWORD address, DWORD) override {
        if (call) return;
        call = std::make_unique<VM_CCall>(line, hCall, address);
        call->VM_Answer();
    }
    void VM_OnLineClose(VM_CLine*) override {}
    void VM_OnCallReply(VM_CCall*, DWORD, LONG, VM_CALLREQUEST) override {}
    void VM_OnCallState(VM_CCall*, DWORD state, DWORD, DWORD) override {
        if (state == LINECALLSTATE_CONNECTED) connected = true;
        if (state == LINECALLSTATE_DISCONNECTED || state == LINECALLSTATE_IDLE) ended = true;
    }
    void VM_OnCallInfo(VM_CCall*, DWORD) override {}
    void VM_OnMonitorDigits(VM_CCall*, DWORD, DWORD) override {}
    void VM_OnMonitorMedia(VM_CCall*, DWORD) override {}
};

// Dispatches messages until done holds, sleeping in between as the
// program's message loop does.
void PumpUntil(const std::function<bool()>& done, int maxSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// CPU seconds per minute of our side, or a negative value on failure.
double Ours(const std::string& folder) {
    sipline::SipSettings settings;
    settings.listenAddress = "127.0.0.1";
    settings.listenPort = FreePort();
    settings.rtpPortMin = 20000;
    settings.rtpPortMax = 30000;
    sipline::SipLineService service(settings);
    std::string error;
    if (!service.Start(&error)) {
        std::fprintf(stderr, "SIP line: %s\n", error.c_str());
        return -1;
    }
    service.Install();
    Owner owner;
    VM_CTapi::VM_Initialize();
    auto line = std::make_unique<VM_CLine>(0, &owner);
    line->VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_UNKNOWN);
    const pid_t caller = StartCaller(folder, static_cast<std::uint16_t>(settings.listenPort));
    PumpUntil([&] { return owner.connected || owner.ended; }, 30);
    double cpu = -1;
    if (owner.connected) {
        VM_CDeviceID id;
        id.VM_GetCallDeviceID("wave/in", owner.call->VM_GetHandle());
        const std::string path = folder + "/ours.wav";
        VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
        VM_CRecorder recorder(id.VM_GetID(), nullptr);
        recorder.VM_SetDetection(0, 0, 0, 0);
        const double before = OwnCpu();
        const auto start = std::chrono::steady_clock::now();
        recorder.VM_Start(&file);
        PumpUntil([&] { return owner.ended; }, kCallSeconds + 60);
        recorder.VM_Stop();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu = (OwnCpu() - before) * 60.0 / seconds;
    }
    if (owner.call) owner.call->VM_Drop();
    Stop(caller);
    owner.call.reset();
    line.reset();
    VM_CTapi::VM_Shutdown();
    return cpu;
}

// CPU seconds per minute of baresip answering the same call and recording
// it to a file.
double Baresip(const std::string& folder) {
    const std::string config = folder + "/baresip";
    mkdir(config.c_str(), 0700);
    const std::uint16_t port = FreePort();
    // What baresip says back: silence for longer than the call.
    {
        std::vector<std::int16_t> silence(static_cast<size_t>(kCallSeconds + 30) * 8000, 0);
        VM_CWaveFile wave((folder + "/silence.wav").c_str(), VM_WAVE_MODE_NEW);
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
        wave.VM_SetFormat(&f);
        wave.VM_WriteData(reinterpret_cast<const BYTE*>(silence.data()), static_cast<LONG>(silence.size() * 2), TRUE);
    }
    std::ofstream(config + "/config") << "poll_method epoll\nsip_listen 127.0.0.1:" << port
                                      << "\nnet_interface 127.0.0.1\naudio_source aufile," << folder
                                      << "/silence.wav\naudio_player aubridge,nil\naudio_alert aubridge,nil\n"
                                      << "ausrc_srate 8000\nauplay_srate 8000\nausrc_channels 1\nauplay_channels 1\n"
                                      << "module_path /usr/lib/baresip/modules\nmodule g711.so\nmodule aufile.so\n"
                                      << "module aubridge.so\nmodule sndfile.so\nsnd_path " << folder
                                      << "\nmodule_app account.so\nmodule_app menu.so\n";
    std::ofstream(config + "/accounts") << "<sip:vocerra@127.0.0.1:" << port
                                        << ">;regint=0;answermode=auto;audio_codecs=PCMU\n";
    const pid_t baresip = Spawn({"baresip", "-f", config}, folder + "/baresip.log");
    std::this_thread::sleep_for(std::chrono::seconds(1));  // until it listens
    const double before = ProcessCpu(baresip);
    const auto start = std::chrono::steady_clock::now();
    const pid_t caller = StartCaller(folder, port);
    const auto guard = start + std::chrono::seconds(kCallSeconds + 60);
    while (!Finished(caller) && std::chrono::steady_clock::now() < guard)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = (ProcessCpu(baresip) - before) * 60.0 / seconds;
    Stop(caller);
    Stop(baresip);
    // sndfile names its files "dump-..."; without one the anchor did less
    // work than ours and the comparison would flatter it.
    const std::string listing = folder + "/dumps.txt";
    const std::string command = "ls " + folder + " | grep -c '^dump' > " + listing;
    if (std::system(command.c_str()) != 0) return -1;
    int dumps = 0;
    std::ifstream(listing) >> dumps;
    return dumps > 0 ? cpu : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strstr("sip-cpu", argv[1]) == nullptr) return 0;
    setenv("VOCERRA_NO_SOUND_CARDS", "1", 1);
    auto folder = TempFolder();
    if (!folder) return 1;
    const double ours = Ours(folder.get());
    const double anchor = Baresip(folder.get());
    if (ours <= 0 || anchor <= 0) {
        std::fprintf(stderr, "sip-cpu: a call did not take place (ours %.3f, baresip %.3f); logs in %s\n", ours,
                     anchor, folder.get());
        return 1;
    }
    std::printf("sip-cpu: %.3f vs %.3f = %.2fx\n", ours, anchor, anchor / ours);
    return 0;
}

// enhance: samples per second through the whole end-of-recording enhancement
// (measure, compress, normalise, in place in the file) of a one-hour
// recording at -30 dBFS, against sox running
//   compand 0.005,0.1 6:-70,-60,-20 -5 -90 gain -n
// on the same file. Both are timed in CPU time (user and system), so that
// other work on the machine does not skew the comparison.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/wave_file.h"

extern char** environ;

namespace {

constexpr long kSamples = 3600L * 8000L;
constexpr int kRounds = 2;

double ProcessCpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Talk-like sound: noise shaped into syllables and pauses, scaled to an
// average of -30 dBFS.
std::vector<int16_t> OneHourAtMinus30() {
    std::vector<double> s(kSamples);
    uint32_t x = 42;
    double lp = 0.0;
    double sum = 0.0;
    for (long i = 0; i < kSamples; ++i) {
        x = x * 1664525u + 1013904223u;
        double noise = static_cast<double>(x >> 8) / 8388608.0 - 1.0;
        lp = 0.7 * lp + 0.3 * noise;
        double t = static_cast<double>(i) / 8000.0;
        double syllable = std::max(0.0, std::sin(2 * M_PI * 3.7 * t));
        double phrase = std::fmod(t, 7.0) < 5.0 ? 1.0 : 0.05;
        s[static_cast<size_t>(i)] = lp * syllable * phrase;
        sum += s[static_cast<size_t>(i)] * s[static_cast<size_t>(i)];
    }
    double scale = 32768.0 * std::pow(10.0, -30.0 / 20.0) / std::sqrt(sum / kSamples);
    std::vector<int16_t> out(static_cast<size_t>(kSamples));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::lround(s[i] * scale), -32768L, 32767L));
    return out;
}

WAVEFORMATEX Pcm16() { return WAVEFORMATEX{1, 1, 8000, 16000, 2, 16, 0}; }

bool WriteRecording(const std::string& path, const std::vector<int16_t>& pcm, VM_CWaveFile** keepOpen) {
    auto* file = new VM_CWaveFile(path.c_str(), VM_WAVE_MODE_NEW);
    WAVEFORMATEX f = Pcm16();
    if (!file->VM_SetFormat(&f)) return false;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(pcm.data());
    const size_t total = pcm.size() * 2;
    for (size_t at = 0; at < total; at += 1600)
        file->VM_WriteData(bytes + at, static_cast<LONG>(std::min<size_t>(1600, total - at)), TRUE);
    if (keepOpen != nullptr) {
        *keepOpen = file;
    } else {
        delete file;
    }
    return true;
}

double OursSeconds(const std::string& dir, const std::vector<int16_t>& pcm) {
    double best = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        VM_CWaveFile* file = nullptr;
        if (!WriteRecording(dir + "/ours.wav", pcm, &file)) return 0.0;
        double start = ProcessCpuSeconds();
        BOOL ok = file->VM_Enhance(VM_ENHANCE_COMPRESS | 0x4);
        best = std::min(best, ProcessCpuSeconds() - start);
        delete file;
        if (!ok) std::fprintf(stderr, "enhance failed\n");
    }
    return best;
}

double SoxSeconds(const std::string& dir) {
    double best = 1e30;
    const std::string in = dir + "/in.wav";
    const std::string out = dir + "/sox.wav";
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::string> args = {"sox", in, out, "compand", "0.005,0.1", "6:-70,-60,-20",
                                         "-5", "-90", "gain", "-n"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        // sox warns about the samples its compander clips; that is its own
        // business, not the benchmark's output.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid;
        int spawned = posix_spawnp(&pid, "sox", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return 0.0;
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0.0;
        double secs = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                      usage.ru_stime.tv_usec * 1e-6;
        best = std::min(best, secs);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const char* name = "enhance";
    if (argc > 1 && argv[1][0] != '\0' && std::string(name).find(argv[1]) == std::string::npos) return 0;
    char pattern[] = "/tmp/vocerra-bench-enhance-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    const std::vector<int16_t> pcm = OneHourAtMinus30();
    WriteRecording(dir + "/in.wav", pcm, nullptr);
    double ours = OursSeconds(dir, pcm);
    double sox = SoxSeconds(dir);
    for (const char* f : {"/in.wav", "/ours.wav", "/sox.wav"}) std::remove((dir + f).c_str());
    rmdir(dir.c_str());
    if (ours <= 0.0) return 1;
    if (sox <= 0.0) {
        std::printf("%s: %.1f Msamples/s vs (sox not available)\n", name, kSamples / ours / 1e6);
        return 0;
    }
    std::printf("%s: %.1f Msamples/s vs %.1f Msamples/s = %.2fx\n", name, kSamples / ours / 1e6,
                kSamples / sox / 1e6, sox / ours);
    return 0;
}

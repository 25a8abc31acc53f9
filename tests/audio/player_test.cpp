#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/player.h"
#include "audio/wave_file.h"
#include "diag/trace.h"
#include "lines/sim/sim_call_audio.h"
#include "platform/win32/clock.h"
#include "platform/win32/messages.h"
#include "platform/win32/threads.h"
#include "platform/winmm/file_endpoint.h"
#include "platform/winmm/g711.h"
#include "lines/sim/sim_call_audio_device.h"
#include "support/message_window.h"
#include "support/temp_dir.h"
#include "wave_test_files.h"

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using namespace wavetest;

namespace {

// Sound cards would make the device lists depend on the machine.
const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

constexpr DWORD kAllFormats = simline::kFormatPcm16 | simline::kFormatPcm8 | simline::kFormatALaw |
                              simline::kFormatMuLaw;

// A window of the test thread that receives the players' notices.
class Owner {
public:
    HWND hwnd() const { return m_window.hwnd(); }

    // The next WM_WAVE_DONE, or false when none came within a generous
    // real-time bound (a guard against hangs, not a timing check).
    bool WaitDone(MSG* out, std::chrono::seconds bound = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + bound;
        while (std::chrono::steady_clock::now() < end) {
            MSG msg{};
            while (PeekMessageA(&msg, hwnd(), 0, 0, PM_REMOVE)) {
                if (msg.message == WM_WAVE_DONE) {
                    *out = msg;
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    // Waits until a WM_WAVE_DONE is queued, leaving it there.
    bool WaitQueuedDone() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        MSG msg{};
        while (!PeekMessageA(&msg, hwnd(), WM_WAVE_DONE, WM_WAVE_DONE, PM_NOREMOVE)) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    // Whether a WM_WAVE_DONE is waiting now.
    bool HasDone() {
        MSG msg{};
        return PeekMessageA(&msg, hwnd(), WM_WAVE_DONE, WM_WAVE_DONE, PM_REMOVE) != 0;
    }

private:
    testsupport::MessageWindow m_window;
};

class PlayerConcurrency : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kNoCards);
        platform::SetTimeScale(40.0);
    }
    void TearDown() override { platform::SetTimeScale(1.0); }
    TempDir m_dir;
};

std::vector<int16_t> Ramp(size_t count) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>((i * 331) % 60000 - 30000);
    return samples;
}

std::string Encode(const std::vector<int16_t>& samples, WORD tag) {
    std::string out;
    for (int16_t s : samples) {
        out.push_back(static_cast<char>(tag == WAVE_FORMAT_ALAW ? g711::LinearToALaw(s) : g711::LinearToULaw(s)));
    }
    return out;
}

// Sample bytes of a WAVE file on disk.
std::string DataOf(const std::string& path) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    return ReadAllData(file);
}

}  // namespace

TEST_F(PlayerConcurrency, PlaysAFileToTheFileDeviceAndPostsDoneWithTheCurrentRunId) {
    const std::string source = m_dir.file("greeting.wav");
    const std::string data = Pcm16Bytes(Ramp(12000));
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), data);
    const UINT device = winmm::AddFileWaveOut(m_dir.file("played.wav"), kAllFormats);
    Owner owner;
    VM_CPlayer player(device, owner.hwnd());
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(player.VM_Start(&file));
    const DWORD runSid = player.VM_GetSid();
    MSG done{};
    ASSERT_TRUE(owner.WaitDone(&done));
    EXPECT_EQ(done.wParam, reinterpret_cast<WPARAM>(&player));
    EXPECT_EQ(static_cast<DWORD>(done.lParam), runSid);
    EXPECT_TRUE(player.VM_Stop());
    // After the wait the id moves on, so a late notice is recognisably stale.
    EXPECT_NE(player.VM_GetSid(), runSid);
    EXPECT_FALSE(player.VM_Stop());
    EXPECT_EQ(DataOf(m_dir.file("played.wav")), data);
    // The source was playable as it was: not rewritten.
    EXPECT_EQ(DataOf(source), data);
}

TEST_F(PlayerConcurrency, SimulatedLineCapturesExactlyTheConvertedSamples) {
    const std::vector<int16_t> samples = Ramp(9000);
    const std::string source = m_dir.file("prompt.wav");
    for (WORD tag : {WAVE_FORMAT_MULAW, WAVE_FORMAT_ALAW}) {
        WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(samples));
        const DWORD only = tag == WAVE_FORMAT_MULAW ? simline::kFormatMuLaw : simline::kFormatALaw;
        simline::SimCallAudio call({7, only});
        Owner owner;
        VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
        VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
        ASSERT_TRUE(player.VM_Start(&file));
        // The file was rewritten once, in place, in the one format the line takes.
        ASSERT_NE(file.VM_GetFormat(), nullptr);
        EXPECT_EQ(file.VM_GetFormat()->wFormatTag, tag);
        const DWORD runSid = player.VM_GetSid();
        MSG done{};
        ASSERT_TRUE(owner.WaitDone(&done));
        EXPECT_EQ(static_cast<DWORD>(done.lParam), runSid);
        EXPECT_TRUE(player.VM_Stop());
        EXPECT_EQ(call.CapturedFormat().wFormatTag, tag);
        EXPECT_EQ(call.CapturedBytes(), Encode(samples, tag)) << tag;
        EXPECT_EQ(DataOf(source), Encode(samples, tag));
    }
}

TEST_F(PlayerConcurrency, UnevenFileEndsAfterItsLastPartialBuffer) {
    const std::string source = m_dir.file("3000.wav");
    const std::string data = Pcm16Bytes(Ramp(1500));
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), data);
    simline::SimCallAudio call({1, kAllFormats});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    ASSERT_TRUE(player.VM_Start(&file));
    MSG done{};
    ASSERT_TRUE(owner.WaitDone(&done));
    EXPECT_EQ(call.CapturedBytes(), data);
}

TEST_F(PlayerConcurrency, StopEndsWithinOneBufferPostsNothingAndARewindPlaysAgain) {
    const std::string source = m_dir.file("long.wav");
    // 30 s of sound: far longer than the test runs before stopping.
    const std::string data = Pcm16Bytes(Ramp(240000));
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), data);
    simline::SimCallAudio call({2, kAllFormats});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    ASSERT_TRUE(player.VM_Start(&file));
    // Let some buffers play (counted in bytes, not time).
    while (call.CapturedBytes().size() < 3 * VM_WAVE_BUFFER_SIZE) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const size_t before = call.CapturedBytes().size();
    EXPECT_TRUE(player.VM_Stop());
    const size_t after = call.CapturedBytes().size();
    EXPECT_LE(after - before, VM_WAVE_BUFFER_SIZE);
    EXPECT_LT(after, data.size());
    // Nothing plays or is posted after the stop.
    Sleep(600);
    EXPECT_EQ(call.CapturedBytes().size(), after);
    EXPECT_FALSE(owner.HasDone());
    // What was played is the start of the file.
    EXPECT_EQ(call.CapturedBytes(), data.substr(0, after));

    const std::string shortData = Pcm16Bytes(Ramp(4000));
    const std::string shortSource = m_dir.file("short.wav");
    WriteWave(shortSource, Format(WAVE_FORMAT_PCM, 16), shortData);
    VM_CWaveFile shortFile(shortSource.c_str(), VM_WAVE_MODE_READ);
    for (int run = 0; run < 2; ++run) {
        call.ClearCapture();
        shortFile.VM_SetReadPos(0);
        ASSERT_TRUE(player.VM_Start(&shortFile));
        MSG done{};
        ASSERT_TRUE(owner.WaitDone(&done));
        EXPECT_TRUE(player.VM_Stop());
        EXPECT_EQ(call.CapturedBytes(), shortData) << run;
    }
}

TEST_F(PlayerConcurrency, StaleDoneFromAnEarlierRunIsRecognisable) {
    const std::string source = m_dir.file("beep.wav");
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(Ramp(800)));
    simline::SimCallAudio call({3, kAllFormats});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    ASSERT_TRUE(player.VM_Start(&file));
    const DWORD firstRun = player.VM_GetSid();
    // The owner is slow: the first run's notice is still queued when it
    // stops the player and starts it again.
    ASSERT_TRUE(owner.WaitQueuedDone());
    player.VM_Stop();
    file.VM_SetReadPos(0);
    ASSERT_TRUE(player.VM_Start(&file));
    const DWORD secondRun = player.VM_GetSid();
    MSG stale{};
    ASSERT_TRUE(owner.WaitDone(&stale));
    EXPECT_EQ(static_cast<DWORD>(stale.lParam), firstRun);
    EXPECT_NE(static_cast<DWORD>(stale.lParam), player.VM_GetSid());
    MSG current{};
    ASSERT_TRUE(owner.WaitDone(&current));
    EXPECT_EQ(static_cast<DWORD>(current.lParam), secondRun);
    EXPECT_EQ(static_cast<DWORD>(current.lParam), player.VM_GetSid());
    player.VM_Stop();
}

// The notice of a player that was deleted meanwhile, perhaps with a new one
// at its address: the owner tells it apart by (address, run) alone.
TEST_F(PlayerConcurrency, DoneOfADeletedPlayerNeverMatchesTheCurrentRun) {
    const std::string source = m_dir.file("beep.wav");
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(Ramp(800)));
    simline::SimCallAudio call({4, kAllFormats});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    auto* gone = new VM_CPlayer(call.WaveOutDeviceId(), owner.hwnd());
    ASSERT_TRUE(gone->VM_Start(&file));
    const VM_WaveRun goneRun = gone->VM_GetRun();
    ASSERT_TRUE(owner.WaitQueuedDone());
    gone->VM_Stop();
    delete gone;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    MSG late{};
    ASSERT_TRUE(owner.WaitDone(&late));
    const VM_WaveRun notice = VM_WaveRunOf(late.wParam, late.lParam);
    EXPECT_EQ(notice, goneRun);
    EXPECT_NE(notice, player.VM_GetRun()) << "a new device at the same address took the old run";
    file.VM_SetReadPos(0);
    ASSERT_TRUE(player.VM_Start(&file));
    MSG current{};
    ASSERT_TRUE(owner.WaitDone(&current));
    EXPECT_EQ(VM_WaveRunOf(current.wParam, current.lParam), player.VM_GetRun());
    player.VM_Stop();
}

TEST_F(PlayerConcurrency, EmptyDataPostsDoneAtOnce) {
    const std::string source = m_dir.file("empty.wav");
    WriteFileBytes(source, RiffWave(Chunk("fmt ", FormatBody(Format(WAVE_FORMAT_PCM, 16))) + Chunk("data", "")));
    simline::SimCallAudio call({4, kAllFormats});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    ASSERT_TRUE(player.VM_Start(&file));
    MSG done{};
    ASSERT_TRUE(owner.WaitDone(&done));
    EXPECT_TRUE(call.CapturedBytes().empty());
}

TEST_F(PlayerConcurrency, DeviceWithoutAnyTelephoneFormatCannotStart) {
    const std::string source = m_dir.file("greeting.wav");
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(Ramp(1000)));
    const std::string before = ReadFileBytes(source);
    simline::SimCallAudio call({5, 0});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    EXPECT_EQ(player.VM_GetSupportedFormat(), nullptr);
    const DWORD sid = player.VM_GetSid();
    EXPECT_FALSE(player.VM_Start(&file));
    EXPECT_EQ(player.VM_GetSid(), sid);
    EXPECT_FALSE(player.VM_Stop());
    Sleep(100);
    EXPECT_FALSE(owner.HasDone());
    EXPECT_EQ(ReadFileBytes(source), before);
    // A file that cannot be converted (not 8000 samples per second) fails too.
    const std::string wide = m_dir.file("wide.wav");
    WriteWave(wide, Format(WAVE_FORMAT_PCM, 16, 1, 11025), Pcm16Bytes(Ramp(1000)));
    simline::SimCallAudio ulawOnly({6, simline::kFormatMuLaw});
    VM_CWaveFile wideFile(wide.c_str(), VM_WAVE_MODE_READ);
    VM_CPlayer ulawPlayer(ulawOnly.WaveOutDeviceId(), owner.hwnd());
    EXPECT_FALSE(ulawPlayer.VM_Start(&wideFile));
}

TEST_F(PlayerConcurrency, SupportedFormatIsTheFirstTheDeviceTakes) {
    const std::pair<DWORD, WORD> cases[] = {
        {kAllFormats, WAVE_FORMAT_PCM},
        {simline::kFormatMuLaw, WAVE_FORMAT_MULAW},
        {simline::kFormatMuLaw | simline::kFormatALaw, WAVE_FORMAT_ALAW},
        {simline::kFormatPcm8, WAVE_FORMAT_PCM},
    };
    for (const auto& [accepted, tag] : cases) {
        simline::SimCallAudio call({8, accepted});
        VM_CPlayer player(call.WaveOutDeviceId(), nullptr);
        const WAVEFORMATEX* format = player.VM_GetSupportedFormat();
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->wFormatTag, tag);
        EXPECT_EQ(format->wBitsPerSample, accepted == simline::kFormatPcm8 ? 8 : (tag == WAVE_FORMAT_PCM ? 16 : 8));
    }
}

TEST_F(PlayerConcurrency, PlayFileSyncReturnsAfterTheWholeFile) {
    const std::string source = m_dir.file("ring.wav");
    const std::string data = Pcm16Bytes(Ramp(6000));
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), data);
    simline::SimCallAudio call({9, kAllFormats});
    EXPECT_TRUE(VM_PlayFileSync(call.WaveOutDeviceId(), source.c_str()));
    EXPECT_EQ(call.CapturedBytes(), data);
    EXPECT_FALSE(VM_PlayFileSync(call.WaveOutDeviceId(), m_dir.file("missing.wav").c_str()));
}

TEST_F(PlayerConcurrency, TwoStopsAtOnceWaitOnceAndRestartCyclesStayClean) {
    const std::string source = m_dir.file("long.wav");
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(Ramp(80000)));
    simline::SimCallAudio call({10, kAllFormats});
    VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
    Owner owner;
    VM_CPlayer player(call.WaveOutDeviceId(), owner.hwnd());
    for (int cycle = 0; cycle < 20; ++cycle) {
        file.VM_SetReadPos(0);
        ASSERT_TRUE(player.VM_Start(&file)) << cycle;
        std::atomic<int> stopped{0};
        auto stop = [&] { stopped += player.VM_Stop() ? 1 : 0; };
        std::thread other(stop);
        stop();
        other.join();
        EXPECT_EQ(stopped.load(), 1) << cycle;
    }
    EXPECT_FALSE(owner.HasDone());
}

TEST_F(PlayerConcurrency, TracedRunsEndWithTheStartResult) {
    TempDir cwd(true);
    const std::string source = cwd.file("greeting.wav");
    WriteWave(source, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(Ramp(2000)));
    g_bTraceAudio = 1;
    {
        simline::SimCallAudio none({11, 0});
        VM_CWaveFile file(source.c_str(), VM_WAVE_MODE_READ);
        VM_CPlayer player(none.WaveOutDeviceId(), nullptr);
        EXPECT_FALSE(player.VM_Start(&file));
    }
    const std::string failed = ReadFileBytes(cwd.file("dbg_err.txt"));
    {
        simline::SimCallAudio line({12, simline::kFormatALaw});
        EXPECT_TRUE(VM_PlayFileSync(line.WaveOutDeviceId(), source.c_str()));
    }
    g_bTraceAudio = 0;
    const std::string all = ReadFileBytes(cwd.file("dbg_err.txt"));
    // The failed start's last line is its result; the stop follows.
    const size_t result = failed.find("Exit VM_CWaveDevice::VM_Start with FALSE");
    ASSERT_NE(result, std::string::npos);
    const size_t nextLine = failed.find('\n', result) + 1;
    EXPECT_NE(failed.find("Entering VM_CWaveDevice::VM_Stop", nextLine), std::string::npos);
    EXPECT_EQ(failed.find("VM_CWaveDevice::VM_Start", nextLine), std::string::npos);
    EXPECT_EQ(failed.find("with TRUE"), std::string::npos);
    for (const char* text : {"Exit VM_CWaveDevice::VM_Start with TRUE", "VM_ReadDataToBuffer: lLen=1600",
                             "fmt: fmtTag=6, channel=1, smpRate=8000, bytesPerSec=8000, blockAlign=1, bits=8, cb=0",
                             "Exit VM_CPlayer::VM_ThreadProc", "VM_CPlayer::~VM_CPlayer(): this=0x"}) {
        EXPECT_NE(all.find(text), std::string::npos) << text;
    }
}

TEST(WaveSidConcurrency, RunIdsDrawnFromManyThreadsAreUnique) {
    constexpr int kThreads = 4;
    constexpr int kDraws = 20000;
    std::vector<std::vector<DWORD>> drawn(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&drawn, t] {
            for (int i = 0; i < kDraws; ++i) drawn[t].push_back(VM_DrawWaveSid());
        });
    }
    for (auto& thread : threads) thread.join();
    std::set<DWORD> all;
    for (const auto& ids : drawn) all.insert(ids.begin(), ids.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kDraws));
}

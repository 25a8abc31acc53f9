// The wave device calls over the simulated line's and the file endpoints.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/clock.h"
#include "platform/win32/sync.h"
#include "platform/win32/threads.h"
#include "platform/winmm/file_endpoint.h"
#include "platform/winmm/g711.h"
#include "platform/winmm/mixer_api.h"
#include "lines/sim/sim_call_audio_device.h"
#include "platform/winmm/wave_api.h"
#include "platform/winmm/wave_file_io.h"
#include "platform/winmm/wave_port.h"
#include "support/temp_dir.h"

namespace {

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

constexpr DWORD kAll = simline::kFormatPcm16 | simline::kFormatPcm8 | simline::kFormatALaw | simline::kFormatMuLaw;

WAVEFORMATEX Telephone(WORD tag, WORD bits) {
    const WORD align = static_cast<WORD>(bits / 8);
    return WAVEFORMATEX{tag, 1, 8000, 8000u * align, align, bits, 0};
}

const WAVEFORMATEX kPcm16 = Telephone(WAVE_FORMAT_PCM, 16);
const WAVEFORMATEX kULaw = Telephone(WAVE_FORMAT_MULAW, 8);

struct Buffer {
    explicit Buffer(DWORD size, char fill = 0) : data(size, fill) {
        header.lpData = data.data();
        header.dwBufferLength = size;
    }
    std::vector<char> data;
    WAVEHDR header{};
};

// Records the order in which the driver hands buffers back.
struct Completions {
    std::mutex lock;
    std::vector<WAVEHDR*> order;
    std::atomic<int> count{0};
};

void RecordCompletion(HANDLE, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* c = reinterpret_cast<Completions*>(instance);
    if (msg != MM_WOM_DONE && msg != MM_WIM_DATA) return;
    std::lock_guard<std::mutex> guard(c->lock);
    c->order.push_back(reinterpret_cast<WAVEHDR*>(param1));
    ++c->count;
}

bool WaitFor(const std::atomic<int>& value, int target) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (value.load() < target) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class WaveDeviceConcurrency : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kNoCards);
        platform::SetTimeScale(40.0);
    }
    void TearDown() override { platform::SetTimeScale(1.0); }
};

}  // namespace

TEST_F(WaveDeviceConcurrency, QueryOpensNothingAndEachDeviceHasItsOwnFormats) {
    simline::SimCallAudio call({1, simline::kFormatMuLaw});
    const UINT out = call.WaveOutDeviceId();
    EXPECT_EQ(waveOutOpen(nullptr, out, &kULaw, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutOpen(nullptr, out, &kPcm16, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(waveInOpen(nullptr, call.WaveInDeviceId(), &kPcm16, 0, 0, WAVE_FORMAT_QUERY | WAVE_MAPPED),
              WAVERR_BADFORMAT);
    EXPECT_EQ(waveOutOpen(nullptr, 9999, &kULaw, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_BADDEVICEID);
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, out, &kPcm16, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
    EXPECT_EQ(h, nullptr);
    // A query opened nothing: a close of a made-up handle is refused.
    EXPECT_EQ(waveOutClose(reinterpret_cast<HWAVEOUT>(&h)), MMSYSERR_INVALHANDLE);
    WAVEOUTCAPSA caps{};
    EXPECT_EQ(waveOutGetDevCapsA(out, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "Simulated line out");
}

TEST_F(WaveDeviceConcurrency, BuffersComeBackInOrderMarkedDoneAndResetReturnsTheRest) {
    // Real-time pacing: the reset must find buffers still queued even when a
    // loaded machine wakes this thread late after the second completion.
    platform::SetTimeScale(1.0);
    simline::SimCallAudio call({2, kAll});
    Completions done;
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, call.WaveOutDeviceId(), &kPcm16, reinterpret_cast<DWORD_PTR>(&RecordCompletion),
                          reinterpret_cast<DWORD_PTR>(&done), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    constexpr DWORD kSize = 1600;
    std::vector<std::unique_ptr<Buffer>> buffers;
    for (int i = 0; i < 6; ++i) buffers.push_back(std::make_unique<Buffer>(kSize, static_cast<char>('a' + i)));
    EXPECT_EQ(waveOutWrite(h, &buffers[0]->header, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
    for (auto& b : buffers) {
        ASSERT_EQ(waveOutPrepareHeader(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveOutUnprepareHeader(h, &buffers[5]->header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    ASSERT_TRUE(WaitFor(done.count, 2));
    EXPECT_EQ(waveOutClose(h), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    // Every buffer is back at once after the reset.
    EXPECT_EQ(done.count.load(), 6);
    {
        std::lock_guard<std::mutex> guard(done.lock);
        ASSERT_EQ(done.order.size(), 6u);
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(done.order[i], &buffers[i]->header) << i;
            EXPECT_TRUE(winmm::LoadHeaderFlags(&buffers[i]->header) & WHDR_DONE);
            EXPECT_FALSE(winmm::LoadHeaderFlags(&buffers[i]->header) & WHDR_INQUEUE);
        }
    }
    // Played buffers were captured whole and in order; nothing after the reset.
    const std::string captured = call.CapturedBytes();
    ASSERT_EQ(captured.size() % kSize, 0u);
    ASSERT_GE(captured.size(), 2 * kSize);
    for (size_t i = 0; i < captured.size(); ++i) ASSERT_EQ(captured[i], 'a' + static_cast<char>(i / kSize)) << i;
    for (auto& b : buffers) EXPECT_EQ(waveOutUnprepareHeader(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveDeviceConcurrency, EventIsSignalledForEveryFinishedBuffer) {
    simline::SimCallAudio call({3, kAll});
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, call.WaveOutDeviceId(), &kULaw, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT),
              MMSYSERR_NOERROR);
    Buffer b(800, 0x55);
    ASSERT_EQ(waveOutPrepareHeader(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(winmm::LoadHeaderFlags(&b.header) & WHDR_DONE);
    EXPECT_EQ(call.CapturedBytes(), std::string(800, 0x55));
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    CloseHandle(event);
}

TEST_F(WaveDeviceConcurrency, WaveInRecordsWhatTheRemotePartySends) {
    simline::SimCallAudio call({4, simline::kFormatALaw | simline::kFormatPcm16});
    call.SendTone({1000.0, 0.0, 10000.0, 0, 0});
    Completions done;
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, call.WaveInDeviceId(), &kPcm16, reinterpret_cast<DWORD_PTR>(&RecordCompletion),
                         reinterpret_cast<DWORD_PTR>(&done), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    Buffer tone(1600);
    Buffer silence(1600, 0x11);
    ASSERT_EQ(waveInPrepareHeader(h, &tone.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(h, &tone.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    // Nothing is recorded before the start.
    Sleep(300);
    EXPECT_EQ(done.count.load(), 0);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor(done.count, 1));
    EXPECT_EQ(tone.header.dwBytesRecorded, 1600u);
    auto samples = winmm::DecodeSamples(kPcm16, reinterpret_cast<BYTE*>(tone.data.data()), 1600);
    // A 1 kHz tone at 8 kHz repeats every 8 samples.
    for (size_t i = 8; i < samples.size(); ++i) ASSERT_NEAR(samples[i], samples[i - 8], 1) << i;
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_NEAR(peak, 10000, 10);
    call.SendSilence();
    ASSERT_EQ(waveInPrepareHeader(h, &silence.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(h, &silence.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor(done.count, 2));
    EXPECT_EQ(silence.data, std::vector<char>(1600, 0));
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveDeviceConcurrency, RemoteFileAndCadencedToneArriveInTheOpenedFormat) {
    testsupport::TempDir dir;
    std::vector<int16_t> samples(1000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 30 - 15000);
    {
        winmm::WaveFileWriter writer(dir.file("caller.wav"), kPcm16);
        std::vector<BYTE> bytes(samples.size() * 2);
        winmm::EncodeSamples(kPcm16, samples.data(), samples.size(), bytes.data());
        writer.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    simline::SimCallAudio call({5, simline::kFormatMuLaw});
    ASSERT_TRUE(call.SendFile(dir.file("caller.wav")));
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, call.WaveInDeviceId(), &kULaw, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT),
              MMSYSERR_NOERROR);
    Buffer b(1600, 0x33);
    ASSERT_EQ(waveInPrepareHeader(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    for (size_t i = 0; i < 1600; ++i) {
        const BYTE expected = i < samples.size() ? g711::LinearToULaw(samples[i]) : g711::LinearToULaw(0);
        ASSERT_EQ(static_cast<BYTE>(b.data[i]), expected) << i;
    }
    // 100 ms on, 100 ms off: 800 samples of tone, then 800 of silence.
    call.SendTone({425.0, 0.0, 5000.0, 100, 100});
    ASSERT_EQ(waveInAddBuffer(h, &b.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    int loudOn = 0;
    int loudOff = 0;
    for (size_t i = 0; i < 1600; ++i) {
        const int v = std::abs(g711::ULawToLinear(static_cast<BYTE>(b.data[i])));
        (i < 800 ? loudOn : loudOff) += v > 1000;
    }
    EXPECT_GT(loudOn, 400);
    EXPECT_EQ(loudOff, 0);
    EXPECT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
    CloseHandle(event);
}

TEST_F(WaveDeviceConcurrency, FileDevicesPlayIntoAndRecordFromWaveFiles) {
    testsupport::TempDir dir;
    const UINT out = winmm::AddFileWaveOut(dir.file("out.wav"), simline::kFormatMuLaw);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT ho = nullptr;
    ASSERT_EQ(waveOutOpen(&ho, out, &kULaw, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT),
              MMSYSERR_NOERROR);
    Buffer played(1001, 0x42);
    ASSERT_EQ(waveOutPrepareHeader(ho, &played.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(ho, &played.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    ASSERT_EQ(waveOutClose(ho), MMSYSERR_NOERROR);
    WAVEFORMATEX format{};
    std::string data;
    ASSERT_TRUE(winmm::ReadWaveFile(dir.file("out.wav"), &format, &data));
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_MULAW);
    EXPECT_EQ(data, std::string(1001, 0x42));

    // The recorded file is read back in its own format, then silence follows.
    const UINT in = winmm::AddFileWaveIn(dir.file("out.wav"), kAll);
    EXPECT_EQ(waveInOpen(nullptr, in, &kPcm16, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    HWAVEIN hi = nullptr;
    ASSERT_EQ(waveInOpen(&hi, in, &kULaw, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT), MMSYSERR_NOERROR);
    Buffer recorded(1600);
    ASSERT_EQ(waveInPrepareHeader(hi, &recorded.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(hi, &recorded.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(hi), MMSYSERR_NOERROR);
    ASSERT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(std::string(recorded.data.data(), 1600), std::string(1001, 0x42) + std::string(599, '\xFF'));
    EXPECT_EQ(waveInClose(hi), MMSYSERR_NOERROR);
    CloseHandle(event);
}

TEST_F(WaveDeviceConcurrency, OnlySoundCardsHaveAMixerLine) {
    simline::SimCallAudio call({6, kAll});
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    EXPECT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(call.WaveOutDeviceId())), &line,
                                MIXER_OBJECTF_WAVEOUT | MIXER_GETLINEINFOF_DESTINATION),
              MMSYSERR_NODRIVER);
    // A removed device's id names nothing afterwards.
    UINT oldIn = 0;
    {
        simline::SimCallAudio gone({7, kAll});
        oldIn = gone.WaveInDeviceId();
    }
    WAVEINCAPSA caps{};
    EXPECT_EQ(waveInGetDevCapsA(oldIn, &caps, sizeof caps), MMSYSERR_BADDEVICEID);
    EXPECT_LT(oldIn, waveInGetNumDevs());
}

TEST_F(WaveDeviceConcurrency, RemovedDevicesIdIsHandedOutAgainOnlyOnceNothingOpenedThroughItIsOpen) {
    HWAVEIN recording = nullptr;
    UINT oldIn = 0;
    {
        simline::SimCallAudio ended({8, kAll});
        oldIn = ended.WaveInDeviceId();
        ASSERT_EQ(waveInOpen(&recording, oldIn, &kULaw, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    }
    {
        simline::SimCallAudio next({9, kAll});
        EXPECT_NE(next.WaveInDeviceId(), oldIn) << "a recorder still has it open";
    }
    ASSERT_EQ(waveInClose(recording), MMSYSERR_NOERROR);
    const UINT count = waveInGetNumDevs();
    for (DWORD line = 10; line < 20; line++) {
        simline::SimCallAudio call({line, kAll});
        EXPECT_LE(call.WaveInDeviceId(), oldIn);
    }
    EXPECT_EQ(waveInGetNumDevs(), count) << "ended calls' ids are handed out again";
}

TEST_F(WaveDeviceConcurrency, InstalledFactoryGivesEachSimulatedCallItsOwnDevices) {
    simline::InstallSimCallAudio();
    auto first = simline::MakeCallAudio({1, simline::kFormatALaw});
    auto second = simline::MakeCallAudio({1, simline::kFormatPcm16});
    simline::SetCallAudioFactory(nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->WaveOutDeviceId(), second->WaveOutDeviceId());
    EXPECT_NE(first->WaveInDeviceId(), second->WaveInDeviceId());
    const WAVEFORMATEX alaw = Telephone(WAVE_FORMAT_ALAW, 8);
    EXPECT_EQ(waveOutOpen(nullptr, first->WaveOutDeviceId(), &alaw, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInOpen(nullptr, first->WaveInDeviceId(), &alaw, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutOpen(nullptr, second->WaveOutDeviceId(), &alaw, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(simline::MakeCallAudio({1, simline::kFormatALaw}), nullptr);
}

namespace {

// A streaming client queues the next buffer from the callback's thread or
// from one it waits for; the port must not hold its lock meanwhile.
struct Requeue {
    HWAVEOUT handle = nullptr;
    Buffer* next = nullptr;
    std::atomic<int> calls{0};
    std::atomic<MMRESULT> queued{MMSYSERR_ERROR};
};

void RequeueFromAnotherThread(HANDLE, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* r = reinterpret_cast<Requeue*>(instance);
    if (msg != MM_WOM_DONE || r->calls++ != 0) return;
    std::atomic<bool> returned{false};
    std::thread writer([r, &returned] {
        r->queued = waveOutWrite(r->handle, &r->next->header, sizeof(WAVEHDR));
        returned = true;
    });
    // Bounded, so that a port that keeps its lock fails the test, not hangs it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!returned && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    if (!returned) r->queued = MMSYSERR_ERROR + 1000;
    writer.join();
}

}  // namespace

TEST_F(WaveDeviceConcurrency, CallbackRunsWithoutThePortLock) {
    simline::SimCallAudio call({4, kAll});
    Requeue requeue;
    Buffer first(1600), second(1600);
    requeue.next = &second;
    ASSERT_EQ(waveOutOpen(&requeue.handle, call.WaveOutDeviceId(), &kPcm16,
                          reinterpret_cast<DWORD_PTR>(&RequeueFromAnotherThread), reinterpret_cast<DWORD_PTR>(&requeue),
                          CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    for (Buffer* b : {&first, &second}) ASSERT_EQ(waveOutPrepareHeader(requeue.handle, &b->header, sizeof(WAVEHDR)), 0u);
    ASSERT_EQ(waveOutWrite(requeue.handle, &first.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_TRUE(WaitFor(requeue.calls, 2));
    EXPECT_EQ(requeue.queued.load(), static_cast<MMRESULT>(MMSYSERR_NOERROR)) << "the callback ran under the port lock";
    waveOutReset(requeue.handle);
    EXPECT_EQ(waveOutClose(requeue.handle), MMSYSERR_NOERROR);
}

// A device thread still queueing while the controlling thread closes: the
// handle may go stale, but the port must not be freed under the call.
TEST_F(WaveDeviceConcurrency, CloseOnAnotherThreadNeverFreesThePortUnderACall) {
    simline::SimCallAudio call({5, kAll});
    for (int round = 0; round < 20; ++round) {
        HWAVEOUT h = nullptr;
        ASSERT_EQ(waveOutOpen(&h, call.WaveOutDeviceId(), &kPcm16, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
        Buffer buffer(160);
        ASSERT_EQ(waveOutPrepareHeader(h, &buffer.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        std::atomic<bool> closed{false};
        std::thread writer([&] {
            while (!closed) {
                if (!(winmm::LoadHeaderFlags(&buffer.header) & WHDR_INQUEUE)) waveOutWrite(h, &buffer.header, sizeof(WAVEHDR));
                waveOutReset(h);
            }
        });
        while (waveOutClose(h) != MMSYSERR_NOERROR) waveOutReset(h);
        closed = true;
        writer.join();
        EXPECT_FALSE(winmm::LoadHeaderFlags(&buffer.header) & WHDR_INQUEUE) << "a buffer was left with a closed port";
    }
}

namespace {

void PutLe32(std::string& out, DWORD v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A WAVE file whose data chunk claims dataSize bytes and holds `held`.
std::string WaveClaiming(DWORD dataSize, const std::string& held) {
    std::string fmt(16, '\0');
    fmt[0] = 1;   // PCM
    fmt[2] = 1;   // mono
    fmt[4] = 0x40, fmt[5] = 0x1F;   // 8000 Hz
    fmt[8] = static_cast<char>(0x80), fmt[9] = 0x3E;  // 16000 bytes/s
    fmt[12] = 2, fmt[14] = 16;
    std::string body = "WAVEfmt ";
    PutLe32(body, 16);
    body += fmt + "data";
    PutLe32(body, dataSize);
    body += held;
    std::string file = "RIFF";
    PutLe32(file, static_cast<DWORD>(body.size()));
    return file + body;
}

}  // namespace

// A data size field of almost 4 GB in a small file decides no allocation:
// what is read is what the file holds, and a file over the bound is refused.
TEST(WaveFileReading, ChunkSizesFromTheFileAreBoundedByItsBytes) {
    testsupport::TempDir dir;
    const std::string path = dir.file("remote.wav");
    testsupport::WriteFileBytes(path, WaveClaiming(0xFFFFFFF0u, "abcd"));
    WAVEFORMATEX format{};
    std::string data;
    ASSERT_TRUE(winmm::ReadWaveFile(path, &format, &data));
    EXPECT_EQ(data, "abcd");
    EXPECT_EQ(format.nSamplesPerSec, 8000u);

    testsupport::WriteFileBytes(path, WaveClaiming(0x7FFFFFFFu, ""));
    ASSERT_EQ(truncate(path.c_str(), off_t{300} * 1024 * 1024), 0);  // sparse: no disk used
    EXPECT_FALSE(winmm::ReadWaveFile(path, &format, &data));
}

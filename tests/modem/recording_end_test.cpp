// The end of a message on a modem line when the recorder has fallen behind:
// whatever the modem delivered before the caller hung up reaches the file
// once the recording is stopped. The recorder is held at a fixed point
// until it is stopped, as a loaded machine may hold it.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "audio/recorder.h"
#include "audio/wave_file.h"
#include "modem/modem_call_flow_fixture.h"
#include "modem/modem_line_fixture.h"
#include "platform/winmm/wave_file_io.h"

namespace modemtest {
namespace {

enum class Hold {
    // Four buffers queued and the device not yet started: the sound waits
    // in the modem line, and the stop's reset must hand it over.
    kBeforeTheDeviceStarts,
    // At the first buffer back with sound: the next ones come back filled
    // while the recorder is away.
    kAtTheFirstSound,
};

class HeldBackRecorder : public VM_CRecorder {
public:
    HeldBackRecorder(UINT device, Hold hold) : VM_CRecorder(device, nullptr), m_hold(hold) {}
    ~HeldBackRecorder() override { VM_Stop(); }

    bool WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_held; });
    }
    MMRESULT VM_UnprepareHeader(WAVEHDR* header) override {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_stopped && HoldsAt(*header)) {
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stopped; });
        }
        lock.unlock();
        return VM_CRecorder::VM_UnprepareHeader(header);
    }
    MMRESULT VM_Reset() override {
        const MMRESULT result = VM_CRecorder::VM_Reset();
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopped = true;
        m_changed.notify_all();
        return result;
    }

private:
    bool HoldsAt(const WAVEHDR& header) {
        if (m_hold == Hold::kAtTheFirstSound) return header.dwBytesRecorded > 0;
        return ++m_unprepared == VM_WAVE_BUFFER_COUNT;  // the last one of the first pass
    }

    const Hold m_hold;
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_unprepared = 0;
    bool m_held = false;
    bool m_stopped = false;
};

class RecorderHeldBackConcurrency : public ModemLineTest, public ::testing::WithParamInterface<Hold> {};

TEST_P(RecorderHeldBackConcurrency, SoundTheModemDeliveredBeforeTheHangUpReachesTheFile) {
    Start(modemsim::Family::kV253);
    ASSERT_NE(RingAndAnswer(), nullptr);
    std::vector<std::int16_t> sent(3000);  // less than four buffers hold
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::int16_t>(9000.0 * std::sin(2.0 * M_PI * 700.0 * static_cast<double>(i) / 8000.0));
    std::string bytes(sent.size(), '\0');
    winmm::EncodeSamples(kMuLaw, sent.data(), sent.size(), reinterpret_cast<BYTE*>(bytes.data()));
    m_modem->QueueCallerAudio(bytes);

    const std::string path = m_dir.file("message.wav");
    auto file = std::make_unique<VM_CWaveFile>(path.c_str(), VM_WAVE_MODE_NEW);
    HeldBackRecorder recorder(WaveIn(), GetParam());
    ASSERT_TRUE(recorder.VM_Start(file.get()));
    ASSERT_TRUE(recorder.WaitUntilHeld());
    // The hang-up follows the sound on the wire, so the line is free only
    // once the modem delivered all of it.
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_modem->CallerAudioSent(); }));
    m_modem->Report('l');
    ASSERT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_DISCONNECTED); }));
    recorder.VM_Stop();
    file.reset();

    // From the first loud sample to the last: the tone (raised to full
    // level, its end perhaps less), give or take a period at either end.
    const std::vector<std::int16_t> recorded = RecordedSamples(path.c_str());
    size_t first = recorded.size(), last = 0;
    for (size_t i = 0; i < recorded.size(); ++i) {
        if (std::abs(static_cast<int>(recorded[i])) < 1000) continue;
        first = std::min(first, i);
        last = i;
    }
    ASSERT_LT(first, recorded.size()) << "nothing was recorded";
    EXPECT_GE(last - first + 24, sent.size()) << "the end of the message was lost: sound " << first << ".." << last;
}

INSTANTIATE_TEST_SUITE_P(Holds, RecorderHeldBackConcurrency,
                         ::testing::Values(Hold::kBeforeTheDeviceStarts, Hold::kAtTheFirstSound),
                         [](const ::testing::TestParamInfo<Hold>& p) {
                             return p.param == Hold::kBeforeTheDeviceStarts ? "BeforeTheDeviceStarts"
                                                                            : "AtTheFirstSound";
                         });

}  // namespace
}  // namespace modemtest

#include "modem/modem_line_fixture.h"

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/clock.h"
#include "platform/winmm/wave_api.h"

namespace modemtest {

namespace {

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

void OnPlayed(HANDLE, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    if (msg == MM_WOM_DONE) ++*reinterpret_cast<std::atomic<int>*>(instance);
}

}  // namespace

WAVEFORMATEX Telephone(WORD tag, WORD bits) {
    const WORD align = static_cast<WORD>(bits / 8);
    return WAVEFORMATEX{tag, 1, 8000, 8000u * align, align, bits, 0};
}

const WAVEFORMATEX kMuLaw = Telephone(WAVE_FORMAT_MULAW, 8);
const WAVEFORMATEX kPcm8 = Telephone(WAVE_FORMAT_PCM, 8);

bool PlayOn(UINT deviceId, const WAVEFORMATEX& format, const std::string& bytes) {
    std::atomic<int> done{0};
    HWAVEOUT out = nullptr;
    if (waveOutOpen(&out, deviceId, &format, reinterpret_cast<DWORD_PTR>(&OnPlayed),
                    reinterpret_cast<DWORD_PTR>(&done), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return false;
    std::vector<char> data(bytes.begin(), bytes.end());
    WAVEHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(data.size());
    waveOutPrepareHeader(out, &header, sizeof header);
    waveOutWrite(out, &header, sizeof header);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (done.load() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    waveOutReset(out);
    waveOutUnprepareHeader(out, &header, sizeof header);
    waveOutClose(out);
    return done.load() == 1;
}

struct Recording::State {
    std::mutex lock;
    std::condition_variable filled;
    std::string bytes;
    std::vector<WAVEHDR*> done;
    std::vector<std::unique_ptr<WAVEHDR>> headers;
    std::vector<std::vector<char>> buffers;
    bool stopping = false;
    std::thread requeue;
};

namespace {

void OnRecorded(HANDLE, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    if (msg != MM_WIM_DATA) return;
    auto* state = reinterpret_cast<Recording::State*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    std::lock_guard<std::mutex> lock(state->lock);
    state->bytes.append(header->lpData, header->dwBytesRecorded);
    state->done.push_back(header);
    state->filled.notify_all();
}

// Hands filled buffers back, as the recorder does (never from the callback).
void Requeue(Recording::State* state, HWAVEIN in) {
    std::unique_lock<std::mutex> lock(state->lock);
    for (;;) {
        state->filled.wait(lock, [&] { return state->stopping || !state->done.empty(); });
        if (state->stopping) return;
        std::vector<WAVEHDR*> done;
        done.swap(state->done);
        lock.unlock();
        for (WAVEHDR* header : done) waveInAddBuffer(in, header, sizeof *header);
        lock.lock();
    }
}

}  // namespace

Recording::Recording(UINT deviceId, const WAVEFORMATEX& format, DWORD bufferSize)
    : m_state(std::make_shared<State>()) {
    HWAVEIN in = nullptr;
    if (waveInOpen(&in, deviceId, &format, reinterpret_cast<DWORD_PTR>(&OnRecorded),
                   reinterpret_cast<DWORD_PTR>(m_state.get()), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return;
    std::lock_guard<std::mutex> lock(m_state->lock);
    for (int i = 0; i < 3; i++) {
        m_state->buffers.emplace_back(bufferSize);
        auto header = std::make_unique<WAVEHDR>();
        header->lpData = m_state->buffers.back().data();
        header->dwBufferLength = bufferSize;
        waveInPrepareHeader(in, header.get(), sizeof *header);
        waveInAddBuffer(in, header.get(), sizeof *header);
        m_state->headers.push_back(std::move(header));
    }
    waveInStart(in);
    m_handle = in;
    m_state->requeue = std::thread(Requeue, m_state.get(), in);
}

Recording::~Recording() { Stop(); }

void Recording::Stop() {
    if (m_handle == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(m_state->lock);
        m_state->stopping = true;
        m_state->filled.notify_all();
    }
    m_state->requeue.join();
    waveInReset(m_handle);
    for (auto& header : m_state->headers) waveInUnprepareHeader(m_handle, header.get(), sizeof *header);
    waveInClose(m_handle);
    m_handle = nullptr;
}

std::string Recording::Bytes() const {
    std::lock_guard<std::mutex> lock(m_state->lock);
    return m_state->bytes;
}

std::string AwkwardAudio(size_t length) {
    std::string bytes;
    const char pattern[] = {0x10, 0x10, 0x1A, 0x10, 0x03, 0x10, 0x10, 0x21, 0x7F, 0x10, 0x18};
    for (size_t i = 0; i < length; i++)
        bytes.push_back(i % 7 == 0 ? pattern[(i / 7) % sizeof pattern] : static_cast<char>(0x20 + i % 90));
    return bytes;
}

void ModemLineTest::SetUp() {
    ASSERT_TRUE(kNoCards);
    platform::SetTimeScale(20.0);
    m_settings.lockDir = m_dir.path();
    m_settings.commandTimeoutMs = 1500;
    m_settings.reopenMs = 50;
}

void ModemLineTest::TearDown() {
    VM_CTapi::VM_Shutdown();
    linetest::PumpPending();
    m_service.reset();
    m_modem.reset();
    platform::SetTimeScale(1.0);
}

void ModemLineTest::Start(modemsim::Family family, const std::string& userFamily) {
    m_modem = std::make_unique<modemsim::ModemSimulator>(m_dir.path(), family);
    m_settings.port = m_modem->Path();
    m_settings.family = userFamily;
    m_service = std::make_unique<modemline::ModemLineService>(std::vector{m_settings});
    m_service->Install();
    ASSERT_TRUE(m_modem->WaitFor([&] { return m_service->InService(0); })) << "the modem was not initialised";
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    m_owner.line = std::make_unique<VM_CLine>(0, &m_owner);
    ASSERT_TRUE(m_owner.line->VM_Open(LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE));
}

VM_CCall* ModemLineTest::RingAndAnswer(const modemsim::CallerIdSpec& caller) {
    m_modem->Ring();
    m_modem->SendCallerId(caller);
    m_modem->Ring();
    EXPECT_TRUE(Pump([&] { return m_owner.calls.size() == 1 && m_owner.ringCounts.size() >= 2; }));
    if (m_owner.calls.empty()) return nullptr;
    VM_CCall* call = Call();
    EXPECT_TRUE(call->VM_Answer());
    EXPECT_TRUE(Pump([&] { return CallReached(LINECALLSTATE_CONNECTED); }));
    return call;
}

bool ModemLineTest::CallReached(DWORD state) const { return m_owner.HasState(state); }

UINT ModemLineTest::WaveOut() const {
    DWORD id = 0;
    m_service->GetWaveId(0, 0, false, &id);
    return id;
}

UINT ModemLineTest::WaveIn() const {
    DWORD id = 0;
    m_service->GetWaveId(0, 0, true, &id);
    return id;
}

int ModemLineTest::DevStates(DWORD state) const {
    int n = 0;
    for (DWORD s : m_owner.devStates) n += s == state ? 1 : 0;
    return n;
}

}  // namespace modemtest

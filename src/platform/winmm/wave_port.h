// One open wave device: its queue of buffers and the thread that moves them
// through the endpoint's stream in real time (under the time scale), hands
// them back in order marked WHDR_DONE and signals each by event or callback.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/winmm/wave_api.h"
#include "platform/winmm/wave_endpoint.h"

namespace winmm {

// The header flags are shared with the thread that owns the buffer, which
// polls them; both sides go through these.
DWORD LoadHeaderFlags(const WAVEHDR* header);
void StoreHeaderFlags(WAVEHDR* header, DWORD flags);

class WavePort {
public:
    enum class Direction { kOut, kIn };

    WavePort(Direction direction, const WAVEFORMATEX& format, std::unique_ptr<WaveStream> stream,
             DWORD callbackType, DWORD_PTR callback, DWORD_PTR instance);
    ~WavePort();
    WavePort(const WavePort&) = delete;
    WavePort& operator=(const WavePort&) = delete;

    // MMSYSERR_INVALHANDLE once the port is shut down.
    MMRESULT Queue(WAVEHDR* header);
    // Input only: recording runs between Start and Stop or Reset.
    void Start();
    void Stop();
    // Hands back every queued buffer at once, in order; an input device's
    // buffers first take the sound it has already received.
    void Reset();
    bool HasQueuedBuffers();
    // Ends the port's thread and hands back what is still queued; once it
    // returns no callback of the port runs any more. Not from a callback.
    void Shutdown();

private:
    void Run();
    // Under the lock: marks the buffer done and queues its signal.
    void Complete(WAVEHDR* header);
    // Signals completed buffers in order, with the lock released, so that a
    // callback may call the port or take locks of its own.
    void SignalCompleted(std::unique_lock<std::mutex>& lock);
    void Signal(WAVEHDR* header);
    // Moves the head buffer through the stream; false when a reset or the
    // end of the port took it meanwhile.
    bool Transfer(std::unique_lock<std::mutex>& lock, WAVEHDR* header, std::uint64_t generation);
    // Input, for a reset: the recording under way ends with what it has,
    // and the queued buffers take what the stream received after it.
    void CollectReceived(std::unique_lock<std::mutex>& lock);

    const Direction m_direction;
    const WAVEFORMATEX m_format;
    const std::unique_ptr<WaveStream> m_stream;
    const DWORD m_callbackType;
    const DWORD_PTR m_callback;
    const DWORD_PTR m_instance;

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<WAVEHDR*> m_queue;
    std::deque<WAVEHDR*> m_completed;  // done, not yet signalled
    bool m_signalling = false;
    std::thread::id m_signaller;
    std::condition_variable m_signalled;
    std::uint64_t m_generation = 0;
    bool m_started = false;
    bool m_quit = false;
    bool m_clockRunning = false;
    // The stream is moving the head buffer, without the lock; a reset
    // waiting for it to finish takes the buffer with its sound.
    bool m_transferring = false;
    bool m_resetAwaits = false;
    std::condition_variable m_transferred;
    std::chrono::steady_clock::time_point m_due;
    std::vector<BYTE> m_scratch;
    std::thread m_thread;
};

}  // namespace winmm

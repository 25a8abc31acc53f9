#include "platform/winmm/wave_port.h"

#include <atomic>
#include <cstring>

#include "platform/win32/clock.h"
#include "platform/win32/sync.h"

namespace winmm {

DWORD LoadHeaderFlags(const WAVEHDR* header) {
    return std::atomic_ref<DWORD>(const_cast<WAVEHDR*>(header)->dwFlags).load(std::memory_order_acquire);
}

void StoreHeaderFlags(WAVEHDR* header, DWORD flags) {
    std::atomic_ref<DWORD>(header->dwFlags).store(flags, std::memory_order_release);
}

WavePort::WavePort(Direction direction, const WAVEFORMATEX& format, std::unique_ptr<WaveStream> stream,
                   DWORD callbackType, DWORD_PTR callback, DWORD_PTR instance)
    : m_direction(direction),
      m_format(format),
      m_stream(std::move(stream)),
      m_callbackType(callbackType),
      m_callback(callback),
      m_instance(instance),
      m_started(direction == Direction::kOut) {
    m_thread = std::thread([this] { Run(); });
}

WavePort::~WavePort() { Shutdown(); }

void WavePort::Shutdown() {
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_quit = true;
        ++m_generation;
        for (WAVEHDR* header : m_queue) Complete(header);
        m_queue.clear();
    }
    m_wake.notify_all();
    // The last owner of a port closed meanwhile may be a call made from the
    // port's own callback, which cannot wait for itself.
    if (m_thread.get_id() == std::this_thread::get_id()) {
        m_thread.detach();
        return;
    }
    if (m_thread.joinable()) m_thread.join();
    std::unique_lock<std::mutex> lock(m_lock);
    SignalCompleted(lock);
}

MMRESULT WavePort::Queue(WAVEHDR* header) {
    const DWORD flags = LoadHeaderFlags(header);
    if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwBytesRecorded = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_quit) return MMSYSERR_INVALHANDLE;
        StoreHeaderFlags(header, (flags & ~WHDR_DONE) | WHDR_INQUEUE);
        m_queue.push_back(header);
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

void WavePort::Start() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_started = true;
    }
    m_wake.notify_all();
}

void WavePort::Stop() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_direction == Direction::kIn) m_started = false;
    m_clockRunning = false;
}

void WavePort::Reset() {
    std::unique_lock<std::mutex> lock(m_lock);
    ++m_generation;
    m_clockRunning = false;
    if (m_direction == Direction::kIn) {
        m_started = false;
        CollectReceived(lock);
    }
    // Completed under the lock, so no buffer the thread finishes can be
    // signalled after a later one.
    for (WAVEHDR* header : m_queue) Complete(header);
    m_queue.clear();
    m_wake.notify_all();
    SignalCompleted(lock);
}

void WavePort::CollectReceived(std::unique_lock<std::mutex>& lock) {
    if (m_transferring && m_stream->CancelRecord()) {
        m_resetAwaits = true;
        m_transferred.wait(lock, [this] { return !m_transferring; });
        m_resetAwaits = false;
    }
    for (WAVEHDR* header : m_queue) {
        const DWORD had = header->dwBytesRecorded;
        const DWORD room = header->dwBufferLength - had;
        const DWORD got = room > 0 ? m_stream->TakeReceived(reinterpret_cast<BYTE*>(header->lpData) + had, room) : 0;
        header->dwBytesRecorded = had + got;
        if (got < room) break;
    }
}

bool WavePort::HasQueuedBuffers() {
    std::lock_guard<std::mutex> guard(m_lock);
    return !m_queue.empty();
}

void WavePort::Complete(WAVEHDR* header) {
    StoreHeaderFlags(header, (LoadHeaderFlags(header) & ~WHDR_INQUEUE) | WHDR_DONE);
    m_completed.push_back(header);
}

void WavePort::SignalCompleted(std::unique_lock<std::mutex>& lock) {
    const auto self = std::this_thread::get_id();
    // A callback that calls the port again leaves its buffers to the loop
    // below; any other caller waits for the callback under way, so that its
    // own buffers are signalled when it returns.
    if (m_signalling && m_signaller == self) return;
    m_signalled.wait(lock, [this] { return !m_signalling; });
    m_signalling = true;
    m_signaller = self;
    while (!m_completed.empty()) {
        WAVEHDR* header = m_completed.front();
        m_completed.pop_front();
        lock.unlock();
        Signal(header);
        lock.lock();
    }
    m_signalling = false;
    m_signaller = {};
    m_signalled.notify_all();
}

void WavePort::Signal(WAVEHDR* header) {
    const auto handle = reinterpret_cast<HANDLE>(this);
    if (m_callbackType == CALLBACK_EVENT) {
        SetEvent(reinterpret_cast<HANDLE>(m_callback));
    } else if (m_callbackType == CALLBACK_FUNCTION && m_callback != 0) {
        const UINT msg = m_direction == Direction::kOut ? MM_WOM_DONE : MM_WIM_DATA;
        reinterpret_cast<WAVECALLBACK>(m_callback)(handle, msg, m_instance, reinterpret_cast<DWORD_PTR>(header), 0);
    }
}

bool WavePort::Transfer(std::unique_lock<std::mutex>& lock, WAVEHDR* header, std::uint64_t generation) {
    const DWORD length = header->dwBufferLength;
    const bool out = m_direction == Direction::kOut;
    if (!m_stream->PacesItself()) {
        const double ms = m_format.nAvgBytesPerSec ? length * 1000.0 / m_format.nAvgBytesPerSec : 0.0;
        if (!m_clockRunning) m_due = std::chrono::steady_clock::now();
        m_clockRunning = true;
        m_due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(platform::ScaledToReal(ms));
        m_wake.wait_until(lock, m_due, [&] { return m_generation != generation; });
        if (m_generation != generation) return false;
    }
    m_scratch.resize(length);
    if (out) std::memcpy(m_scratch.data(), header->lpData, length);
    // The stream runs unlocked so that a reset is held up by it only as
    // long as the stream takes to give up waiting.
    m_transferring = true;
    lock.unlock();
    DWORD recorded = 0;
    if (out) {
        m_stream->Play(m_scratch.data(), length);
    } else {
        recorded = m_stream->Record(m_scratch.data(), length);
    }
    lock.lock();
    m_transferring = false;
    m_transferred.notify_all();
    const bool current = m_generation == generation;
    if (!out && !m_quit && (current || m_resetAwaits)) {
        std::memcpy(header->lpData, m_scratch.data(), recorded);
        header->dwBytesRecorded = recorded;
    }
    return current;
}

void WavePort::Run() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_quit) {
        if (m_queue.empty() || !m_started) {
            m_clockRunning = false;
            m_wake.wait(lock);
            continue;
        }
        WAVEHDR* header = m_queue.front();
        if (!Transfer(lock, header, m_generation)) continue;
        m_queue.pop_front();
        Complete(header);
        SignalCompleted(lock);
    }
    SignalCompleted(lock);
}

}  // namespace winmm

#include "lines/modem/voice_channel.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/win32/clock.h"

namespace modemline {

namespace {

// About 200 ms of 8-bit sound waits for the modem; more blocks the player.
constexpr size_t kOutQueueLimit = 1600;
// Ten seconds of 16-bit sound.
constexpr size_t kInQueueLimit = 160000;
constexpr double kSamplesPerMs = 8.0;
// A modem sends a buffer's sound in its real duration; one that takes much
// longer has stalled, and the recorder gets what there is.
constexpr auto kStallSlack = std::chrono::milliseconds(100);
constexpr int kStallFactor = 4;
// A play is done this much (of audio) before the modem plays its last byte:
// the next buffer arrives while the modem still has sound to play.
constexpr double kPlayLeadMs = 40.0;

std::chrono::nanoseconds Duration(size_t bytes, VoiceEncoding encoding) {
    return platform::ScaledToReal(static_cast<double>(bytes) / BytesPerSample(encoding) / kSamplesPerMs);
}

}  // namespace

void VoiceChannel::SetWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_wake = std::move(wake);
}

void VoiceChannel::Wake() {
    m_changed.notify_all();
    if (m_wake) m_wake();
}

void VoiceChannel::OpenOut() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_outOpen++;
    Wake();
}

void VoiceChannel::CloseOut() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_outOpen > 0) m_outOpen--;
    Wake();
}

void VoiceChannel::Play(const std::string& data) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_connected) {
        const auto until = std::chrono::steady_clock::now() + Duration(data.size(), m_encoding);
        m_changed.wait_until(lock, until, [&] { return m_connected; });
        if (!m_connected) return;
    }
    m_out += data;
    m_queuedTotal += data.size();
    const std::uint64_t end = m_queuedTotal;
    Wake();
    m_changed.wait(lock, [&] { return m_out.size() <= kOutQueueLimit || !m_connected; });
    WaitPlayedThrough(lock, end);
}

void VoiceChannel::WaitPlayedThrough(std::unique_lock<std::mutex>& lock, std::uint64_t end) {
    const auto lead = platform::ScaledToReal(kPlayLeadMs);
    while (m_connected) {
        if (m_doneTotal < end) {
            m_changed.wait(lock);
            continue;
        }
        // What was sent after end plays after it.
        const auto due = m_playedOutAt - Duration(static_cast<size_t>(m_doneTotal - end), m_encoding) - lead;
        if (std::chrono::steady_clock::now() >= due) return;
        m_changed.wait_until(lock, due);
    }
}

void VoiceChannel::OpenIn() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_inOpen++;
    Wake();
}

void VoiceChannel::CloseIn() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_inOpen > 0) m_inOpen--;
    if (m_inOpen == 0) {
        m_in.clear();
        m_inHead = 0;
        // A reset that came as a Record was returning anyway must not cut
        // the next device's first Record short.
        m_cancelRecord = false;
    }
    Wake();
}

size_t VoiceChannel::Record(BYTE* out, size_t length) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (InQueued() < length) WaitForSound(lock, length);
    const bool cancelled = std::exchange(m_cancelRecord, false);
    const size_t n = TakeQueued(out, length);
    if (m_recording || n == length || cancelled) return n;
    // 16-bit silence is all zero bytes; 8-bit encodings have one byte.
    std::memset(out + n, SilenceByte(m_encoding), length - n);
    return length;
}

void VoiceChannel::CancelRecord() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_cancelRecord = true;
    m_changed.notify_all();
}

size_t VoiceChannel::TakeReceived(BYTE* out, size_t length) {
    std::lock_guard<std::mutex> lock(m_lock);
    return TakeQueued(out, length);
}

size_t VoiceChannel::TakeQueued(BYTE* out, size_t length) {
    const size_t n = std::min(InQueued(), length);
    std::memcpy(out, m_in.data() + m_inHead, n);
    m_inHead += n;
    // The queue is a string read from the front; it moves down only once
    // most of it has been read, not at every buffer.
    if (m_inHead == m_in.size()) {
        m_in.clear();
        m_inHead = 0;
    } else if (m_inHead > m_in.size() / 2) {
        m_in.erase(0, m_inHead);
        m_inHead = 0;
    }
    return n;
}

void VoiceChannel::WaitForSound(std::unique_lock<std::mutex>& lock, size_t length) {
    const auto start = std::chrono::steady_clock::now();
    const auto paced = start + Duration(length, m_encoding);
    const auto realDuration =
        std::chrono::milliseconds(static_cast<long>(length / BytesPerSample(m_encoding) / kSamplesPerMs));
    const auto stalled = start + kStallFactor * realDuration + kStallSlack;
    while (InQueued() < length && !m_cancelRecord) {
        // In a call with nothing to play the engine is starting to record:
        // the caller's sound is about to come, not silence.
        const bool expected = m_recording || (m_connected && m_outOpen == 0 && m_out.empty());
        const auto until = expected ? stalled : paced;
        if (std::chrono::steady_clock::now() >= until) return;
        m_changed.wait_until(lock, until);
    }
}

VoiceChannel::Wanted VoiceChannel::WantedNow() {
    std::lock_guard<std::mutex> lock(m_lock);
    return Wanted{m_outOpen > 0 || !m_out.empty(), m_inOpen > 0};
}

void VoiceChannel::SetEncoding(VoiceEncoding encoding) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_encoding = encoding;
}

VoiceEncoding VoiceChannel::Encoding() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_encoding;
}

void VoiceChannel::SetConnected(bool connected) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_connected = connected;
    if (!connected) {
        m_doneTotal += m_out.size();
        m_out.clear();
    }
    m_changed.notify_all();
}

void VoiceChannel::SetRecording(bool recording) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_recording = recording;
    m_changed.notify_all();
}

std::string VoiceChannel::TakeOut(size_t max) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::string out = m_out.substr(0, max);
    m_out.erase(0, out.size());
    m_changed.notify_all();
    return out;
}

void VoiceChannel::Sent(size_t bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    // A modem that ran dry starts again from now.
    m_playedOutAt = std::max(m_playedOutAt, std::chrono::steady_clock::now()) + Duration(bytes, m_encoding);
    m_doneTotal += bytes;
    m_changed.notify_all();
}

void VoiceChannel::DropOut() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_doneTotal += m_out.size();
    m_out.clear();
    m_changed.notify_all();
}

std::chrono::nanoseconds VoiceChannel::StillPlaying() {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto left = m_playedOutAt - std::chrono::steady_clock::now();
    return left.count() > 0 ? std::chrono::duration_cast<std::chrono::nanoseconds>(left) : std::chrono::nanoseconds(0);
}

bool VoiceChannel::OutQueued() {
    std::lock_guard<std::mutex> lock(m_lock);
    return !m_out.empty();
}

void VoiceChannel::PutIn(const std::string& data) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_inOpen == 0) return;
    m_in += data;
    // A wave-in device nobody reads keeps only the latest sound.
    if (InQueued() > kInQueueLimit) {
        m_in.erase(0, m_in.size() - kInQueueLimit);
        m_inHead = 0;
    }
    m_changed.notify_all();
}

}  // namespace modemline

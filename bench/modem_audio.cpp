// modem-audio: CPU time the modem line service spends per minute of voice
// the modem sends while recording (reading the port, taking the DLE
// shielding off, handing the sound to the line's wave-in device), against a
// plain loop that reads the same bytes from the same kind of descriptor and
// copies them. Both read a pipe fed by another thread; only the reading
// thread's CPU time counts. Higher is better for us. The wave-in device is
// in the modem's own encoding, as the recorder opens it.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "lines/modem/dle_codec.h"
#include "lines/modem/voice_channel.h"

namespace {

constexpr size_t kMinuteBytes = 8000 * 60;  // 8-bit mu-law at 8 kHz
constexpr size_t kReadSize = 4096;          // as the engine reads
constexpr size_t kWaveBuffer = 400;         // 50 ms buffers of the recorder
constexpr int kRounds = 5;

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// A minute of speech-like mu-law, shielded as the modem sends it.
std::string ShieldedMinute() {
    std::string audio(kMinuteBytes, '\0');
    unsigned seed = 12345;
    for (char& c : audio) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>((seed >> 16) & 0xFF);
    }
    std::string shielded;
    modemline::ShieldDle(reinterpret_cast<const BYTE*>(audio.data()), audio.size(), shielded);
    return shielded;
}

template <typename Reader>
double TimeReading(const std::string& stream, Reader reader) {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    fcntl(fds[0], F_SETPIPE_SZ, 1 << 20);
    std::thread writer([&] {
        size_t done = 0;
        while (done < stream.size()) {
            const ssize_t n = write(fds[1], stream.data() + done, std::min<size_t>(65536, stream.size() - done));
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        close(fds[1]);
    });
    const double start = ThreadCpuMs();
    reader(fds[0]);
    const double spent = ThreadCpuMs() - start;
    writer.join();
    close(fds[0]);
    return spent;
}

void ServiceReads(int fd) {
    modemline::VoiceChannel voice;
    voice.SetEncoding(modemline::VoiceEncoding::kMuLaw);
    voice.OpenIn();
    voice.SetRecording(true);
    modemline::DleDecoder decoder;
    std::string buffer;
    std::string data;
    std::string events;
    size_t waiting = 0;
    char chunk[kReadSize];
    BYTE wave[kWaveBuffer];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        buffer.append(chunk, static_cast<size_t>(n));
        data.clear();
        events.clear();
        const size_t used = decoder.Feed(reinterpret_cast<const BYTE*>(buffer.data()), buffer.size(), data, events);
        buffer.erase(0, used);
        voice.PutIn(data);
        waiting += data.size();
        // The wave-in device takes whole buffers, in its own format.
        while (waiting >= kWaveBuffer) {
            voice.Record(wave, kWaveBuffer);
            waiting -= kWaveBuffer;
        }
    }
}

void CopyReads(int fd) {
    static char sink[kMinuteBytes * 2];
    char chunk[kReadSize];
    size_t at = 0;
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        std::memcpy(sink + at, chunk, static_cast<size_t>(n));
        at = (at + static_cast<size_t>(n)) % kMinuteBytes;
    }
}

}  // namespace

int main() {
    const std::string stream = ShieldedMinute();
    double ours = 1e9;
    double copy = 1e9;
    for (int round = 0; round < kRounds; round++) {
        ours = std::min(ours, TimeReading(stream, ServiceReads));
        copy = std::min(copy, TimeReading(stream, CopyReads));
    }
    std::printf("modem-audio: %.2f ms vs %.2f ms = %.2fx\n", ours, copy, copy / ours);
    return 0;
}

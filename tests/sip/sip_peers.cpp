#include "sip/sip_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/winmm/g711.h"
#include "platform/winmm/wave_file_io.h"
#include "platform/winmm/wave_port.h"

namespace siptest {

namespace {

bool Bindable(int type, std::uint16_t port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::uint16_t FreePort() {
    for (int attempt = 0; attempt < 200; attempt++) {
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        std::uint16_t port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        // sipp also takes the next ports for its media; keep an even port
        // whose neighbours are free too.
        if (port != 0 && port % 2 == 0 && port < 65530 && Bindable(SOCK_STREAM, port) &&
            Bindable(SOCK_DGRAM, static_cast<std::uint16_t>(port + 1)) &&
            Bindable(SOCK_DGRAM, static_cast<std::uint16_t>(port + 2)))
            return port;
    }
    return 0;
}

PeerProcess::PeerProcess(const std::vector<std::string>& argv, const std::string& workDir,
                         const std::string& logPath)
    : m_logPath(logPath) {
    m_pid = ::fork();
    if (m_pid != 0) return;
    int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int null = ::open("/dev/null", O_RDONLY);
    if (log >= 0) {
        ::dup2(log, 1);
        ::dup2(log, 2);
    }
    if (null >= 0) ::dup2(null, 0);
    if (::chdir(workDir.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    _exit(127);
}

PeerProcess::~PeerProcess() { Kill(); }

int PeerProcess::Wait(int timeoutMs) {
    if (m_pid <= 0) return m_status;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_pid = -1;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return m_status;
        }
        if (std::chrono::steady_clock::now() >= end) return -1;
        ::usleep(10000);
    }
}

void PeerProcess::Kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    if (Wait(3000) < 0) {
        ::kill(m_pid, SIGKILL);
        Wait(3000);
    }
}

std::string PeerProcess::Log() const {
    std::ifstream in(m_logPath);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

RtpPeer::RtpPeer(const std::string& address) {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    socklen_t len = sizeof a;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        m_port = ntohs(a.sin_port);
    timeval tv{0, 50000};
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    m_thread = std::thread([this] { Run(); });
}

RtpPeer::~RtpPeer() {
    m_stop = true;
    m_thread.join();
    ::close(m_fd);
}

void RtpPeer::Run() {
    std::uint8_t buf[2048];
    while (!m_stop) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 12) continue;
        RtpSeen p;
        p.marker = (buf[1] & 0x80) != 0;
        p.payloadType = buf[1] & 0x7F;
        p.sequence = static_cast<std::uint16_t>(buf[2] << 8 | buf[3]);
        p.timestamp = static_cast<std::uint32_t>(buf[4]) << 24 | buf[5] << 16 | buf[6] << 8 | buf[7];
        const std::size_t header = 12 + 4 * (buf[0] & 0x0F);
        if (static_cast<std::size_t>(n) < header) continue;
        p.payload.assign(reinterpret_cast<char*>(buf) + header, static_cast<std::size_t>(n) - header);
        std::lock_guard<std::mutex> guard(m_lock);
        m_received.push_back(std::move(p));
        if (!m_haveSource) {
            m_haveSource = true;
            m_source.assign(reinterpret_cast<std::uint8_t*>(&from), reinterpret_cast<std::uint8_t*>(&from) + len);
        }
    }
}

std::vector<RtpSeen> RtpPeer::Received() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_received;
}

std::string RtpPeer::Payloads(std::uint8_t payloadType) const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::string out;
    for (const RtpSeen& p : m_received)
        if (p.payloadType == payloadType) out += p.payload;
    return out;
}

bool RtpPeer::HeardFromLine() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_haveSource;
}

std::uint16_t RtpPeer::LinePort() const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_haveSource) return 0;
    sockaddr_in from{};
    std::memcpy(&from, m_source.data(), std::min(m_source.size(), sizeof from));
    return ntohs(from.sin_port);
}

void RtpPeer::Target(std::uint16_t linePort) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(linePort);
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_haveSource)
        m_source.assign(reinterpret_cast<std::uint8_t*>(&to), reinterpret_cast<std::uint8_t*>(&to) + sizeof to);
}

void RtpPeer::Send(std::uint8_t payloadType, bool marker, std::uint16_t sequence, std::uint32_t timestamp,
                   const std::string& payload) {
    std::vector<std::uint8_t> source;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        source = m_source;
    }
    if (source.empty()) return;
    std::string packet(12, '\0');
    packet[0] = static_cast<char>(0x80);
    packet[1] = static_cast<char>((marker ? 0x80 : 0) | payloadType);
    packet[2] = static_cast<char>(sequence >> 8);
    packet[3] = static_cast<char>(sequence & 0xFF);
    for (int i = 0; i < 4; i++) packet[4 + i] = static_cast<char>(timestamp >> (24 - 8 * i));
    packet[8] = 0x12;
    packet[9] = 0x34;
    packet[10] = 0x56;
    packet[11] = 0x78;
    packet += payload;
    ::sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(source.data()),
             static_cast<socklen_t>(source.size()));
}

WaveCapture::WaveCapture(UINT deviceId, WORD formatTag, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = formatTag;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(bits / 8);
    f.nAvgBytesPerSec = 8000u * f.nBlockAlign;
    if (waveInOpen(&m_in, deviceId, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return;
    m_opened = true;
    m_buffers.assign(4, std::vector<char>(800u * f.nBlockAlign));
    m_headers.assign(4, WAVEHDR{});
    for (size_t i = 0; i < m_headers.size(); i++) {
        m_headers[i].lpData = m_buffers[i].data();
        m_headers[i].dwBufferLength = static_cast<DWORD>(m_buffers[i].size());
        waveInPrepareHeader(m_in, &m_headers[i], sizeof(WAVEHDR));
        waveInAddBuffer(m_in, &m_headers[i], sizeof(WAVEHDR));
    }
    waveInStart(m_in);
    m_thread = std::thread([this] { Run(); });
}

WaveCapture::~WaveCapture() { Stop(); }

void WaveCapture::Run() {
    size_t next = 0;
    while (!m_stop) {
        WAVEHDR& h = m_headers[next];
        if (!(winmm::LoadHeaderFlags(&h) & WHDR_DONE)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_bytes.append(h.lpData, h.dwBytesRecorded);
        }
        waveInAddBuffer(m_in, &h, sizeof(WAVEHDR));
        next = (next + 1) % m_headers.size();
    }
}

void WaveCapture::Stop() {
    if (!m_opened) return;
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    waveInReset(m_in);
    for (WAVEHDR& h : m_headers) waveInUnprepareHeader(m_in, &h, sizeof(WAVEHDR));
    waveInClose(m_in);
    m_opened = false;
}

std::string WaveCapture::Bytes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bytes;
}

std::string ToneULaw(double hz, std::size_t samples) {
    std::string out(samples, '\0');
    for (std::size_t i = 0; i < samples; i++) {
        double v = 6000.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / 8000.0);
        out[i] = static_cast<char>(g711::LinearToULaw(static_cast<std::int16_t>(std::lrint(v))));
    }
    return out;
}

}  // namespace siptest

namespace siptest {

bool PlayToEnd(UINT deviceId, WORD formatTag, WORD bits, const std::string& bytes) {
    WAVEFORMATEX f{};
    f.wFormatTag = formatTag;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(bits / 8);
    f.nAvgBytesPerSec = 8000u * f.nBlockAlign;
    HWAVEOUT out = nullptr;
    if (waveOutOpen(&out, deviceId, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    std::string data = bytes;
    WAVEHDR h{};
    h.lpData = data.data();
    h.dwBufferLength = static_cast<DWORD>(data.size());
    waveOutPrepareHeader(out, &h, sizeof h);
    waveOutWrite(out, &h, sizeof h);
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!(winmm::LoadHeaderFlags(&h) & WHDR_DONE) && std::chrono::steady_clock::now() < guard)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool done = (winmm::LoadHeaderFlags(&h) & WHDR_DONE) != 0;
    waveOutReset(out);
    waveOutUnprepareHeader(out, &h, sizeof h);
    waveOutClose(out);
    return done;
}

void SendPress(RtpPeer& peer, std::uint8_t payloadType, int event, std::uint16_t* sequence,
               std::uint32_t timestamp) {
    for (int i = 0; i < 6; i++) {
        const bool end = i >= 3;
        const std::uint16_t duration = static_cast<std::uint16_t>(160 * (end ? 4 : i + 1));
        std::string payload = {static_cast<char>(event), static_cast<char>((end ? 0x80 : 0) | 10),
                               static_cast<char>(duration >> 8), static_cast<char>(duration & 0xFF)};
        peer.Send(payloadType, i == 0, (*sequence)++, timestamp, payload);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace siptest

namespace siptest {

double ShareFound(const std::string& recorded, const std::string& sent) {
    const std::size_t piece = 160;
    std::size_t pieces = 0;
    std::size_t found = 0;
    for (std::size_t at = 0; at + piece <= sent.size(); at += piece) {
        pieces++;
        if (recorded.find(sent.substr(at, piece)) != std::string::npos) found++;
    }
    return pieces == 0 ? 0.0 : static_cast<double>(found) / static_cast<double>(pieces);
}

std::string ULawOfWave(const std::string& path) {
    WAVEFORMATEX format{};
    std::string data;
    if (path.empty() || !winmm::ReadWaveFile(path, &format, &data)) return {};
    std::string coded;
    for (std::int16_t sample : winmm::DecodeSamples(format, reinterpret_cast<const BYTE*>(data.data()),
                                                    static_cast<DWORD>(data.size())))
        coded.push_back(static_cast<char>(g711::LinearToULaw(sample)));
    return coded;
}

}  // namespace siptest

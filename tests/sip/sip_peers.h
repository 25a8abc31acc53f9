// The SIP tests' peers: programs started on 127.0.0.1 (sipp, baresip) with
// their output kept in a log, free ports to give them, a raw RTP endpoint
// the test plays the caller's media with, and a recorder on a wave-in
// device that keeps every byte it gets.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

#include "platform/winmm/wave_api.h"

namespace siptest {

// A UDP port on 127.0.0.1 that nothing uses now (nor the TCP port of the
// same number).
std::uint16_t FreePort();

class PeerProcess {
public:
    // Runs argv[0] (found on PATH) in workDir, stdout and stderr to logPath.
    PeerProcess(const std::vector<std::string>& argv, const std::string& workDir, const std::string& logPath);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // The exit status, or -1 when it is still running after timeoutMs.
    int Wait(int timeoutMs);
    void Kill();
    std::string Log() const;
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::string m_logPath;
};

struct RtpSeen {
    std::uint8_t payloadType;
    bool marker;
    std::uint16_t sequence;
    std::uint32_t timestamp;
    std::string payload;
};

// Our end of a caller's media: receives what the line sends and sends
// packets to where it came from (or to the port it is aimed at).
class RtpPeer {
public:
    // On a free port of address (an IPv4 address of the calling thread's
    // network namespace).
    explicit RtpPeer(const std::string& address = "127.0.0.1");
    ~RtpPeer();
    RtpPeer(const RtpPeer&) = delete;
    RtpPeer& operator=(const RtpPeer&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::vector<RtpSeen> Received() const;
    // The payloads of one payload type, joined in order of arrival.
    std::string Payloads(std::uint8_t payloadType) const;
    bool HeardFromLine() const;
    // The port the line's packets come from, 0 before any came.
    std::uint16_t LinePort() const;
    // Sends to this port of 127.0.0.1 until the line is heard from.
    void Target(std::uint16_t linePort);
    // Sends to the address the line's packets come from.
    void Send(std::uint8_t payloadType, bool marker, std::uint16_t sequence, std::uint32_t timestamp,
              const std::string& payload);

private:
    void Run();
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<RtpSeen> m_received;
    bool m_haveSource = false;
    std::vector<std::uint8_t> m_source;  // sockaddr bytes
    std::thread m_thread;
};

// Records a wave-in device in one format until stopped, keeping every byte.
class WaveCapture {
public:
    WaveCapture(UINT deviceId, WORD formatTag, WORD bits);
    ~WaveCapture();
    bool Opened() const { return m_opened; }
    std::string Bytes() const;
    void Stop();

private:
    void Run();
    HWAVEIN m_in = nullptr;
    bool m_opened = false;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::string m_bytes;
    std::vector<std::vector<char>> m_buffers;
    std::vector<WAVEHDR> m_headers;
    std::thread m_thread;
};

// The mu-law codes of a tone (for a caller's audio file).
std::string ToneULaw(double hz, std::size_t samples);

}  // namespace siptest

namespace siptest {

// Plays the bytes into a wave-out device in the given format, to their end.
bool PlayToEnd(UINT deviceId, WORD formatTag, WORD bits, const std::string& bytes);

// One press as a caller sends it in RFC 4733: updates while held, then the
// end packet three times, all with the press's start timestamp.
void SendPress(RtpPeer& peer, std::uint8_t payloadType, int event, std::uint16_t* sequence,
               std::uint32_t timestamp);

}  // namespace siptest

namespace siptest {

// The share of sent's 20 ms pieces found in recorded: a recording over a
// network may lose a packet on a loaded machine, but not more.
double ShareFound(const std::string& recorded, const std::string& sent);

// A WAVE file's samples as the line codes them for a PCMU caller; empty
// when the file cannot be read.
std::string ULawOfWave(const std::string& path);

}  // namespace siptest

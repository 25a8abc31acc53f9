// One voice modem on one serial port, driven by its own thread: opening and
// initialising it, rings and caller ID, answering, playing and recording in
// turn as the line's wave devices ask, touch tones, hanging up, and the
// modem going away and coming back. The family differences come from its
// ModemProfile; everything the modem reports is parsed by the pure
// functions of dle_codec.h and modem_reports.h.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lines/modem/dle_codec.h"
#include "lines/modem/modem_profile.h"
#include "lines/modem/modem_reports.h"
#include "lines/modem/serial_port.h"
#include "lines/modem/voice_channel.h"
#include "lines/modem/voice_compression.h"

namespace modemline {

struct ModemSettings {
    std::string port;
    std::string lockDir;      // empty: the system's lock folder
    std::string family;       // a profile name; empty: by identification
    int commandTimeoutMs = 5000;  // real time: the modem's own
    int reopenMs = 2000;          // real time between attempts to reopen
    double ringGiveUpMs = 10000;  // scaled: no ring for this long ends the offer
};

struct ModemIdentity {
    std::string manufacturer;
    std::string model;
    ModemFamily family = ModemFamily::kV253;
    VoiceCompression compression;
};

// Implemented by the line service; called on the engine's thread.
class ModemEvents {
public:
    virtual ~ModemEvents() = default;
    virtual void OnInService(const ModemIdentity& identity) = 0;
    virtual void OnOutOfService(const std::string& why) = 0;
    // A call rings (or its caller ID came first).
    virtual void OnOffered() = 0;
    virtual void OnRing(unsigned count) = 0;
    virtual void OnCallerId(const CallerIdFields& fields) = 0;
    virtual void OnCallerGaveUp() = 0;
    virtual void OnAnswered(bool ok) = 0;
    virtual void OnDigit(char digit) = 0;
    // The caller hung up; the modem is back on hook.
    virtual void OnRemoteHangUp(const std::string& reason) = 0;
    // A HangUp request is done.
    virtual void OnHungUp() = 0;
    // The commands that start a recording, with "<cr>" ends (the driver
    // settings the modem fix edits).
    virtual std::vector<std::string> RecordCommands() = 0;
};

class ModemEngine {
public:
    ModemEngine(ModemSettings settings, ModemEvents* events);
    ~ModemEngine();
    ModemEngine(const ModemEngine&) = delete;
    ModemEngine& operator=(const ModemEngine&) = delete;

    void Start();
    // Hangs up a call, frees the port and ends the thread.
    void Stop();
    // Requests, answered through ModemEvents.
    void Answer();
    void HangUp();
    VoiceChannel& Voice() { return m_voice; }
    const ModemSettings& Settings() const { return m_settings; }

private:
    enum class CallState { kIdle, kOffering, kConnected };
    using Clock = std::chrono::steady_clock;

    void Run();
    std::string OpenAndInit();
    bool Identify(ModemIdentity& identity);
    bool SetCompression(const ModemProfile& profile, ModemIdentity& identity);
    void Serve();
    void ServeStep();

    // Port I/O. False (and m_lost set) when the modem is gone.
    bool WriteAll(const std::string& bytes);
    // Waits up to timeout for bytes or a request; appends what came.
    bool ReadSome(std::chrono::milliseconds timeout, std::string& into);
    void Wake();
    bool TakeRequest(bool& flag);

    // Command state.
    ResultCode Command(const std::string& command, std::vector<std::string>* info = nullptr);
    ResultCode WaitResult(std::vector<std::string>* info);
    // Feeds pending bytes to the splitter up to the first final result.
    ResultCode ConsumeUntilResult(std::vector<std::string>* info);
    void HandleReport(const ModemReport& report, std::vector<std::string>* info);
    void FlushCallerId();
    void OnRingReport();
    void WaitInCommandState(std::chrono::milliseconds timeout);
    void CheckRingGiveUp();
    bool RingsStopped() const;

    // Calls.
    void DoAnswer();
    void DoHangUp(bool requested);
    bool GoOnHook();
    void Play();
    bool PlayStep(bool& ending);
    // Waits a little for the modem to play what it was sent.
    void PlayOut();
    void Record();
    bool RecordData(std::string& buffer, bool& ended);

    ModemSettings m_settings;
    ModemEvents* m_events;
    const ModemProfile* m_profile = nullptr;
    SerialPort m_port;
    VoiceChannel m_voice;
    std::thread m_thread;
    int m_wakeFd = -1;

    std::mutex m_requestLock;
    bool m_stop = false;
    bool m_answer = false;
    bool m_hangUp = false;

    // Engine thread only.
    std::string m_lost;  // why the modem is unusable; empty while fine
    std::string m_pending;  // bytes read but not yet parsed
    ReportSplitter m_splitter;
    DleDecoder m_decoder;
    DtmfCounter m_dtmf;
    CallState m_state = CallState::kIdle;
    unsigned m_rings = 0;
    Clock::time_point m_lastRing;
    bool m_ignoreRings = false;  // a dropped offer keeps ringing a while
    CallerIdFields m_callerId;
    bool m_callerIdDirty = false;
    std::string m_remoteHangUp;
};

}  // namespace modemline

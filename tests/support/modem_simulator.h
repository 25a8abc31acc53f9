// A voice modem on a pseudo-terminal, for the tests: the line service opens
// Path() as it would open /dev/ttyACM0. It speaks enough of the voice AT
// commands of four modem families, and its "telco" side rings, sends caller
// ID, touch tones, the caller's voice and the reports of a caller hanging
// up. Its DLE coding is its own, written apart from the service's, so a
// mistake in one is not hidden by the same mistake in the other.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace modemsim {

enum class Family { kV253, kV253NoFlowControl, kConexant, kRockwell };
enum class DtmfStyle { kBracketed, kRepeated, kSingle };

struct CallerIdSpec {
    std::string number = "5551234";
    std::string name = "ALICE SMITH";
    bool withName = true;
    bool spaced = true;  // "NMBR = 5551234" rather than "NMBR=5551234"
    // The raw message in hex ("MESG = 80..."), as +VCID=2 reports it.
    bool unformatted = false;
};

class ModemSimulator {
public:
    ModemSimulator(const std::string& folder, Family family);
    ~ModemSimulator();
    ModemSimulator(const ModemSimulator&) = delete;
    ModemSimulator& operator=(const ModemSimulator&) = delete;

    // A stable path (a link to the current pseudo-terminal).
    std::string Path() const { return m_link; }

    // The telephone company's side.
    void Ring();
    void SendCallerId(const CallerIdSpec& report);
    // Sent while the modem records, with its DLE bytes shielded.
    void QueueCallerAudio(const std::string& bytes);
    // The caller went away: what was not sent yet never will be.
    void DropCallerAudio();
    // True once every queued byte of the caller's audio was written.
    bool CallerAudioSent() const;
    // The bytes of the caller's audio still waiting to be sent.
    size_t CallerAudioLeft() const;
    void Dtmf(char digit, DtmfStyle style);
    // A DLE report (l, b, d, s, q) or, with 0, "NO CARRIER".
    void Report(char code);
    // Every write of caller audio then ends right after a DLE, with a pause,
    // so the pair arrives in two reads.
    void SplitDlePairs(bool on);

    // Takes at most this many bytes per 5 ms while playing (0: no limit),
    // as a modem playing in real time does.
    void PacePlaying(size_t bytes);

    // The port's owner went away and dropped DTR (a process that dies does):
    // on hook, back in command mode, with nothing left queued.
    void DropDtr();

    // Faults.
    void Unplug();
    void Replug();
    // Commands containing this text (upper case) get no answer at all, the
    // next `times` of them (-1: every one).
    void IgnoreCommandsWith(const std::string& text, int times = -1);

    // What the modem saw.
    std::string Played() const;
    std::vector<std::string> Commands() const;
    bool CommandSeen(const std::string& text) const;
    bool OffHook() const;
    // How often the line was taken off hook.
    int Answers() const;
    int Plays() const;
    int AbortedPlays() const;
    int Recordings() const;
    bool Recording() const;
    bool Playing() const;
    // Waits (real time, only so a broken test ends) until pred holds.
    bool WaitFor(const std::function<bool()>& pred, int maxMs = 10000) const;

private:
    enum class Mode { kCommand, kPlay, kRecord };

    void OpenPty();
    void ClosePty();
    // Back in command mode on hook, nothing half received or waiting to go.
    void OnHook();
    void Run();
    void OnBytes(const char* data, size_t length);
    void OnCommandByte(char c);
    void Execute(const std::string& line);
    std::string ExecuteOne(const std::string& command);
    std::string Extended(const std::string& command);
    std::string VoiceList() const;
    void OnPlayByte(unsigned char b);
    void OnRecordByte(unsigned char b);
    void EndRecording();
    void Send(const std::string& bytes);
    void Reply(const std::string& text);
    void PumpAudio();

    const Family m_family;
    std::string m_link;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::thread m_thread;
    bool m_quit = false;
    int m_master = -1;
    int m_slave = -1;

    // Modem state (under m_lock).
    Mode m_mode = Mode::kCommand;
    bool m_echo = true;
    bool m_voiceClass = false;
    bool m_offHook = false;
    std::string m_line;
    bool m_pendingDle = false;
    std::string m_out;  // waiting to be written
    std::string m_audio;  // caller audio for the next recordings
    bool m_splitDle = false;
    size_t m_playPace = 0;
    std::vector<std::pair<std::string, int>> m_ignored;  // text, times left
    std::string m_played;
    std::vector<std::string> m_commands;
    int m_plays = 0;
    int m_aborts = 0;
    int m_recordings = 0;
    int m_answers = 0;
    bool m_abortSeen = false;
};

// The modem's own shielding, independent of the service's.
std::string Shield(const std::string& data);

}  // namespace modemsim

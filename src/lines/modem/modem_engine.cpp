#include "lines/modem/modem_engine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/win32/clock.h"

namespace modemline {

namespace {

// About 100 ms of 8-bit sound per write keeps the modem fed without
// running far ahead of what the caller hears.
constexpr size_t kPlayChunk = 800;
constexpr auto kIdlePoll = std::chrono::milliseconds(200);
constexpr size_t kReadSize = 4096;
// Scaled: the longest a requested hang-up waits for the modem to finish the
// sound it was sent (a little over the lead of a play's done notice).
constexpr double kPlayOutMostMs = 80.0;

bool IsFinal(ResultCode code) {
    return code != ResultCode::kNone && code != ResultCode::kRing;
}

std::string StripCr(std::string command) {
    const size_t cr = command.find("<cr>");
    if (cr != std::string::npos) command.erase(cr);
    return command;
}

}  // namespace

ModemEngine::ModemEngine(ModemSettings settings, ModemEvents* events)
    : m_settings(std::move(settings)), m_events(events) {
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_voice.SetWake([this] { Wake(); });
}

ModemEngine::~ModemEngine() {
    Stop();
    m_voice.SetWake(nullptr);
    if (m_wakeFd >= 0) close(m_wakeFd);
}

void ModemEngine::Start() {
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
}

void ModemEngine::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_requestLock);
        m_stop = true;
    }
    Wake();
    if (m_thread.joinable()) m_thread.join();
}

void ModemEngine::Answer() {
    std::lock_guard<std::mutex> lock(m_requestLock);
    m_answer = true;
    Wake();
}

void ModemEngine::HangUp() {
    std::lock_guard<std::mutex> lock(m_requestLock);
    m_hangUp = true;
    Wake();
}

void ModemEngine::Wake() {
    const uint64_t one = 1;
    if (m_wakeFd >= 0) (void)!write(m_wakeFd, &one, sizeof one);
}

bool ModemEngine::TakeRequest(bool& flag) {
    std::lock_guard<std::mutex> lock(m_requestLock);
    const bool was = flag;
    flag = false;
    return was;
}

void ModemEngine::Run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_requestLock);
            if (m_stop) break;
        }
        m_lost = OpenAndInit();
        if (m_lost.empty()) Serve();
        const bool stopping = [&] {
            std::lock_guard<std::mutex> lock(m_requestLock);
            return m_stop;
        }();
        if (stopping && m_lost.empty() && m_state == CallState::kConnected) DoHangUp(false);
        m_port.Close();
        m_voice.SetConnected(false);
        m_voice.SetRecording(false);
        if (stopping) break;
        // The call cannot go on without the modem; the application hears of
        // it as a hang-up, then of the line going out of service.
        if (m_state == CallState::kConnected) m_events->OnRemoteHangUp("modem lost");
        else if (m_state == CallState::kOffering) m_events->OnCallerGaveUp();
        m_state = CallState::kIdle;
        m_events->OnOutOfService(m_lost);
        // Waits for the modem to come back, waking at once for Stop.
        pollfd wake{m_wakeFd, POLLIN, 0};
        poll(&wake, 1, m_settings.reopenMs);
        uint64_t drained;
        (void)!read(m_wakeFd, &drained, sizeof drained);
    }
    m_port.Close();
}

// ---- port I/O -------------------------------------------------------------

bool ModemEngine::WriteAll(const std::string& bytes) {
    size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_settings.commandTimeoutMs);
    while (done < bytes.size()) {
        const ssize_t n = write(m_port.Fd(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            m_lost = std::string("write failed: ") + std::strerror(errno);
            return false;
        }
        // Flow control holds us back; a modem that never takes more is gone.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            m_lost = "the modem takes no more data";
            return false;
        }
        pollfd out{m_port.Fd(), POLLOUT, 0};
        poll(&out, 1, static_cast<int>(left.count()));
        if (out.revents & (POLLHUP | POLLERR)) {
            m_lost = "the modem went away";
            return false;
        }
    }
    return true;
}

bool ModemEngine::ReadSome(std::chrono::milliseconds timeout, std::string& into) {
    pollfd fds[2] = {{m_port.Fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready = poll(fds, 2, static_cast<int>(timeout.count()));
    if (ready < 0 && errno != EINTR) {
        m_lost = std::string("poll failed: ") + std::strerror(errno);
        return false;
    }
    if (fds[1].revents & POLLIN) {
        uint64_t drained;
        (void)!read(m_wakeFd, &drained, sizeof drained);
    }
    if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) return true;
    char buffer[kReadSize];
    const ssize_t n = read(m_port.Fd(), buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    // End of file or EIO: the USB modem was unplugged (or the pty closed).
    m_lost = n == 0 ? "the modem went away" : std::string("read failed: ") + std::strerror(errno);
    return false;
}

// ---- command state --------------------------------------------------------

ResultCode ModemEngine::Command(const std::string& command, std::vector<std::string>* info) {
    if (!m_lost.empty()) return ResultCode::kNone;
    if (!WriteAll(command + "\r")) return ResultCode::kNone;
    ResultCode result = WaitResult(info);
    if (result == ResultCode::kNone && m_lost.empty()) m_lost = "no answer to " + command;
    return result;
}

ResultCode ModemEngine::WaitResult(std::vector<std::string>* info) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_settings.commandTimeoutMs);
    for (;;) {
        ResultCode result = ConsumeUntilResult(info);
        if (result != ResultCode::kNone) return result;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !m_lost.empty()) return ResultCode::kNone;
        if (!ReadSome(left, m_pending)) return ResultCode::kNone;
    }
}

ResultCode ModemEngine::ConsumeUntilResult(std::vector<std::string>* info) {
    // Byte by byte: what follows CONNECT is voice data, not for the splitter.
    std::vector<ModemReport> reports;
    size_t used = 0;
    ResultCode result = ResultCode::kNone;
    while (used < m_pending.size() && result == ResultCode::kNone) {
        reports.clear();
        m_splitter.Feed(reinterpret_cast<const BYTE*>(m_pending.data()) + used, 1, reports);
        used++;
        for (const ModemReport& report : reports) {
            const ResultCode code =
                report.kind == ModemReport::Kind::kLine ? ClassifyLine(report.line) : ResultCode::kNone;
            if (IsFinal(code)) {
                result = code;
            } else {
                HandleReport(report, info);
            }
        }
    }
    m_pending.erase(0, used);
    FlushCallerId();
    return result;
}

void ModemEngine::HandleReport(const ModemReport& report, std::vector<std::string>* info) {
    if (report.kind == ModemReport::Kind::kCode) {
        const char code = report.code;
        if (code == 'R') {
            OnRingReport();
        } else if (m_state == CallState::kConnected) {
            if (auto digit = m_dtmf.OnCode(code)) m_events->OnDigit(*digit);
            else if (IsHangUpCode(code) && m_remoteHangUp.empty()) m_remoteHangUp = HangUpReason(code);
        }
        return;
    }
    if (ClassifyLine(report.line) == ResultCode::kRing) {
        OnRingReport();
        return;
    }
    if (ParseCallerIdLine(report.line, m_callerId)) {
        m_callerIdDirty = true;
        if (m_state == CallState::kIdle && !m_ignoreRings) {
            // Caller ID before the first ring, as some countries send it.
            m_state = CallState::kOffering;
            m_rings = 0;
            m_lastRing = Clock::now();
            m_events->OnOffered();
        }
        return;
    }
    // An echoed command is not information.
    const bool echo = report.line.size() >= 2 && (report.line[0] == 'A' || report.line[0] == 'a') &&
                      (report.line[1] == 'T' || report.line[1] == 't');
    if (info != nullptr && !echo) info->push_back(report.line);
}

void ModemEngine::FlushCallerId() {
    if (!m_callerIdDirty) return;
    m_callerIdDirty = false;
    if (m_state != CallState::kIdle) m_events->OnCallerId(m_callerId);
}

void ModemEngine::OnRingReport() {
    // A dropped caller who stopped ringing a while ago: this is a new call.
    if (m_ignoreRings && RingsStopped()) m_ignoreRings = false;
    m_lastRing = Clock::now();
    if (m_ignoreRings || m_state == CallState::kConnected) return;
    if (m_state == CallState::kIdle) {
        m_state = CallState::kOffering;
        m_rings = 0;
        m_callerId = CallerIdFields{};
        m_events->OnOffered();
    }
    m_events->OnRing(++m_rings);
}

bool ModemEngine::RingsStopped() const {
    return Clock::now() - m_lastRing >= platform::ScaledToReal(m_settings.ringGiveUpMs);
}

void ModemEngine::CheckRingGiveUp() {
    if (m_state != CallState::kOffering && !m_ignoreRings) return;
    if (!RingsStopped()) return;
    if (m_ignoreRings) {
        m_ignoreRings = false;
        return;
    }
    m_state = CallState::kIdle;
    m_callerId = CallerIdFields{};
    m_events->OnCallerGaveUp();
}

void ModemEngine::WaitInCommandState(std::chrono::milliseconds timeout) {
    if (ReadSome(timeout, m_pending)) ConsumeUntilResult(nullptr);
    // Result codes no command waits for (a late OK) are dropped above.
}

// ---- opening --------------------------------------------------------------

std::string ModemEngine::OpenAndInit() {
    m_lost.clear();
    m_pending.clear();
    m_splitter.Reset();
    m_state = CallState::kIdle;
    std::string error = m_port.Open(m_settings.port, m_settings.lockDir);
    if (!error.empty()) return error;
    if (Command("ATZ") != ResultCode::kOk || Command("ATE0V1S0=0&D2") != ResultCode::kOk)
        return m_lost.empty() ? "not a modem" : m_lost;
    ModemIdentity identity;
    if (!Identify(identity)) return m_lost;
    m_profile = &ProfileFor(identity.family);
    for (const char* command : m_profile->init)
        if (Command(command) != ResultCode::kOk) return m_lost.empty() ? "no voice mode" : m_lost;
    if (Command(m_profile->callerIdOn) != ResultCode::kOk && m_profile->callerIdFallback != nullptr)
        Command(m_profile->callerIdFallback);
    if (m_profile->flowControl != nullptr && Command(m_profile->flowControl) == ResultCode::kError &&
        identity.family == ModemFamily::kV253) {
        identity.family = ModemFamily::kV253NoFlowControl;
        m_profile = &ProfileFor(identity.family);
    }
    if (!SetCompression(*m_profile, identity)) return m_lost.empty() ? "no usable voice compression" : m_lost;
    if (!GoOnHook()) return m_lost.empty() ? "cannot go on hook" : m_lost;
    m_voice.SetEncoding(identity.compression.encoding);
    m_events->OnInService(identity);
    return "";
}

bool ModemEngine::Identify(ModemIdentity& identity) {
    std::vector<std::string> info;
    if (Command("AT+GMI", &info) == ResultCode::kOk && !info.empty()) identity.manufacturer = info.front();
    info.clear();
    if (Command("AT+GMM", &info) == ResultCode::kOk && !info.empty()) identity.model = info.front();
    info.clear();
    if (identity.model.empty() && Command("ATI3", &info) == ResultCode::kOk && !info.empty())
        identity.model = info.front();
    if (!m_lost.empty()) return false;
    if (!FamilyByName(m_settings.family, &identity.family))
        identity.family = FamilyFromIdentity(identity.manufacturer + " " + identity.model);
    return true;
}

bool ModemEngine::SetCompression(const ModemProfile& profile, ModemIdentity& identity) {
    if (!profile.queriesCompression) {
        identity.compression = VoiceCompression{};
        return Command(profile.fixedCompression) == ResultCode::kOk;
    }
    std::vector<std::string> list;
    if (Command("AT+VSM=?", &list) != ResultCode::kOk) list.clear();
    identity.compression = ChooseCompression(list, profile.fallbackCompressionId);
    const std::string set = "AT+VSM=" + std::to_string(identity.compression.id) + ",8000";
    if (Command(set) == ResultCode::kOk) return true;
    // Some firmware wants the silence settings spelled out too.
    return Command(set + ",0,0") == ResultCode::kOk;
}

// ---- calls ----------------------------------------------------------------

void ModemEngine::Serve() {
    m_ignoreRings = false;
    while (m_lost.empty()) {
        {
            std::lock_guard<std::mutex> lock(m_requestLock);
            if (m_stop) return;
        }
        ServeStep();
    }
}

void ModemEngine::ServeStep() {
    if (!m_remoteHangUp.empty()) {
        const std::string reason = m_remoteHangUp;
        m_remoteHangUp.clear();
        DoHangUp(false);
        m_events->OnRemoteHangUp(reason);
        return;
    }
    if (TakeRequest(m_hangUp)) {
        DoHangUp(true);
        return;
    }
    if (TakeRequest(m_answer)) {
        DoAnswer();
        return;
    }
    CheckRingGiveUp();
    if (m_state == CallState::kConnected) {
        const VoiceChannel::Wanted wanted = m_voice.WantedNow();
        if (wanted.out) return Play();
        if (wanted.in) return Record();
    }
    WaitInCommandState(kIdlePoll);
}

void ModemEngine::DoAnswer() {
    if (m_state != CallState::kOffering) {
        m_events->OnAnswered(false);
        return;
    }
    const ResultCode result = Command(m_profile->answer);
    if (result != ResultCode::kOk && result != ResultCode::kVcon) {
        if (m_lost.empty()) m_events->OnAnswered(false);
        return;
    }
    m_state = CallState::kConnected;
    m_dtmf.Reset();
    m_voice.SetConnected(true);
    m_events->OnAnswered(true);
}

bool ModemEngine::GoOnHook() {
    if (Command(m_profile->hangUp) != ResultCode::kOk) return false;
    // Some families leave voice mode as they hang up.
    return m_profile->afterHangUp == nullptr || Command(m_profile->afterHangUp) == ResultCode::kOk;
}

void ModemEngine::DoHangUp(bool requested) {
    if (m_state == CallState::kConnected) {
        m_voice.SetConnected(false);
        // A modem that does not answer is reopened, which puts it on hook;
        // the call is over for the line whatever it answers.
        GoOnHook();
    } else if (m_state == CallState::kOffering) {
        // Dropped while ringing: the rings go on until the caller gives up.
        m_ignoreRings = true;
    }
    m_state = CallState::kIdle;
    m_callerId = CallerIdFields{};
    if (requested) m_events->OnHungUp();
}

void ModemEngine::Play() {
    if (Command(m_profile->startPlay) != ResultCode::kConnect) {
        // Refused: the sound is dropped rather than retried for ever.
        if (m_lost.empty()) m_voice.DropOut();
        WaitInCommandState(kIdlePoll);
        return;
    }
    bool ending = false;
    while (m_lost.empty() && PlayStep(ending)) {
    }
}

// One round of playing; false once the data state is over.
bool ModemEngine::PlayStep(bool& ending) {
    bool hangUpWanted;
    bool stopping;
    {
        std::lock_guard<std::mutex> lock(m_requestLock);
        hangUpWanted = m_hangUp;
        stopping = m_stop;
    }
    if (ending) {
        WaitResult(nullptr);
        return false;
    }
    if (hangUpWanted || stopping || !m_remoteHangUp.empty()) {
        // A hang-up right after the last sound was played lets the modem
        // finish it; the caller is still there to hear it.
        if (!stopping && m_remoteHangUp.empty() && !m_voice.OutQueued()) PlayOut();
        // Abort: the modem drops what it holds and ends the data state.
        const std::string abort{static_cast<char>(kDle), static_cast<char>(kCan), static_cast<char>(kDle),
                                static_cast<char>(kEtx)};
        if (WriteAll(abort)) WaitResult(nullptr);
        m_voice.DropOut();
        return false;
    }
    const std::string chunk = m_voice.TakeOut(kPlayChunk);
    if (!chunk.empty()) {
        std::string shielded;
        ShieldDle(reinterpret_cast<const BYTE*>(chunk.data()), chunk.size(), shielded);
        if (!WriteAll(shielded)) return false;
        m_voice.Sent(chunk.size());
    } else if (!m_voice.WantedNow().out) {
        const std::string end{static_cast<char>(kDle), static_cast<char>(kEtx)};
        if (!WriteAll(end)) return false;
        ending = true;
        return true;
    }
    // Events (touch tones, a busy tone) arrive while we play.
    std::chrono::milliseconds wait = chunk.empty() ? kIdlePoll : std::chrono::milliseconds(0);
    if (ReadSome(wait, m_pending)) ConsumeUntilResult(nullptr);
    return true;
}

void ModemEngine::PlayOut() {
    // Only the little a play is reported done ahead of the modem: a hang-up
    // in the middle of a play is not held up.
    const auto until = Clock::now() + std::min(m_voice.StillPlaying(), platform::ScaledToReal(kPlayOutMostMs));
    while (m_lost.empty() && m_remoteHangUp.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return;
        if (ReadSome(left, m_pending)) ConsumeUntilResult(nullptr);
    }
}

void ModemEngine::Record() {
    for (const std::string& command : m_events->RecordCommands()) Command(StripCr(command));
    if (Command(m_profile->startRecord) != ResultCode::kConnect) {
        WaitInCommandState(kIdlePoll);
        return;
    }
    m_voice.SetRecording(true);
    m_decoder.Reset();
    std::string buffer;
    buffer.swap(m_pending);
    // CONNECT ends with CR LF; the LF may not have come with it.
    bool lineEndSkipped = false;
    auto skipLineEnd = [&] {
        if (lineEndSkipped || buffer.empty()) return;
        if (buffer.compare(0, 1, "\n") == 0) buffer.erase(0, 1);
        lineEndSkipped = true;
    };
    skipLineEnd();
    bool stopSent = false;
    bool ended = false;
    Clock::time_point stopAt;
    while (m_lost.empty() && !ended) {
        if (!RecordData(buffer, ended) || ended) break;
        bool stopWanted;
        {
            std::lock_guard<std::mutex> lock(m_requestLock);
            stopWanted = m_hangUp || m_stop;
        }
        const VoiceChannel::Wanted wanted = m_voice.WantedNow();
        stopWanted = stopWanted || !wanted.in || wanted.out || !m_remoteHangUp.empty();
        if (stopWanted && !stopSent) {
            const std::string stop = m_profile->bareStopRecord ? std::string("!")
                                                               : std::string{static_cast<char>(kDle), '!'};
            if (!WriteAll(stop)) break;
            stopSent = true;
            stopAt = Clock::now();
        }
        if (stopSent && Clock::now() - stopAt > std::chrono::milliseconds(m_settings.commandTimeoutMs)) {
            m_lost = "the recording does not end";
            break;
        }
        if (!ReadSome(kIdlePoll, buffer)) break;
        skipLineEnd();
    }
    m_voice.SetRecording(false);
    if (ended && m_lost.empty()) WaitResult(nullptr);
}

// Passes the voice data in buffer on; true while the modem is reachable.
bool ModemEngine::RecordData(std::string& buffer, bool& ended) {
    std::string data;
    std::string events;
    const size_t used = m_decoder.Feed(reinterpret_cast<const BYTE*>(buffer.data()), buffer.size(), data, events);
    buffer.erase(0, used);
    if (!data.empty()) m_voice.PutIn(data);
    for (char code : events) {
        if (code == static_cast<char>(kEtx)) {
            ended = true;
            // What follows the end is the result code.
            m_pending = std::move(buffer);
            buffer.clear();
        } else if (auto digit = m_dtmf.OnCode(code)) {
            m_events->OnDigit(*digit);
        } else if (IsHangUpCode(code) && m_remoteHangUp.empty()) {
            m_remoteHangUp = HangUpReason(code);
        }
    }
    return true;
}

}  // namespace modemline

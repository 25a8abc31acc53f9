#include "support/modem_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace modemsim {

namespace {

constexpr char kDle = 0x10;
constexpr char kEtx = 0x03;
constexpr char kCan = 0x18;
constexpr size_t kAudioPerRound = 512;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::string Shield(const std::string& data) {
    std::string out;
    for (char c : data) {
        out.push_back(c);
        if (c == kDle) out.push_back(kDle);
    }
    return out;
}

ModemSimulator::ModemSimulator(const std::string& folder, Family family)
    : m_family(family), m_link(folder + "/ttyACM0") {
    OpenPty();
    m_thread = std::thread([this] { Run(); });
}

ModemSimulator::~ModemSimulator() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_thread.join();
    ClosePty();
}

void ModemSimulator::OpenPty() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(m_master);
    unlockpt(m_master);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    const std::string slave = ptsname(m_master);
    // Held open so the master never sees the line hung up between the
    // service's opens; raw, as a modem's port is.
    m_slave = open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    unlink(m_link.c_str());
    if (symlink(slave.c_str(), m_link.c_str()) != 0) std::perror("symlink");
    m_echo = true;
    m_voiceClass = false;
    OnHook();
}

void ModemSimulator::OnHook() {
    m_mode = Mode::kCommand;
    m_offHook = false;
    m_pendingDle = false;
    m_abortSeen = false;
    m_line.clear();
    m_out.clear();
}

void ModemSimulator::ClosePty() {
    if (m_master >= 0) close(m_master);
    if (m_slave >= 0) close(m_slave);
    m_master = m_slave = -1;
    unlink(m_link.c_str());
}

void ModemSimulator::DropDtr() {
    std::lock_guard<std::mutex> lock(m_lock);
    OnHook();
    m_audio.clear();
    m_changed.notify_all();
}

void ModemSimulator::Unplug() {
    std::lock_guard<std::mutex> lock(m_lock);
    ClosePty();
    m_changed.notify_all();
}

void ModemSimulator::Replug() {
    std::lock_guard<std::mutex> lock(m_lock);
    OpenPty();
    m_changed.notify_all();
}

void ModemSimulator::Run() {
    for (;;) {
        int fd;
        bool pauseAfterWrite = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_quit) return;
            fd = m_master;
            PumpAudio();
            if (fd >= 0 && !m_out.empty()) {
                size_t length = m_out.size();
                const size_t dle = m_out.find(kDle);
                if (m_splitDle && dle != std::string::npos && dle + 1 < length) {
                    length = dle + 1;
                    pauseAfterWrite = true;
                }
                const ssize_t n = write(fd, m_out.data(), length);
                if (n > 0) m_out.erase(0, static_cast<size_t>(n));
            }
        }
        if (pauseAfterWrite) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 5);
        char buffer[4096];
        bool paced = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_master != fd) continue;
            size_t size = sizeof buffer;
            paced = m_mode == Mode::kPlay && m_playPace > 0;
            if (paced && m_playPace < size) size = m_playPace;
            const ssize_t n = read(fd, buffer, size);
            if (n > 0) OnBytes(buffer, static_cast<size_t>(n));
            paced = paced && n > 0;
        }
        // Playing in real time: the rest waits in the port meanwhile.
        if (paced) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ModemSimulator::PumpAudio() {
    if (m_mode != Mode::kRecord || m_audio.empty()) return;
    const std::string chunk = m_audio.substr(0, kAudioPerRound);
    m_audio.erase(0, chunk.size());
    m_out += Shield(chunk);
}

void ModemSimulator::OnBytes(const char* data, size_t length) {
    for (size_t i = 0; i < length; i++) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (m_mode == Mode::kPlay) OnPlayByte(b);
        else if (m_mode == Mode::kRecord) OnRecordByte(b);
        else OnCommandByte(static_cast<char>(b));
    }
    m_changed.notify_all();
}

void ModemSimulator::OnPlayByte(unsigned char b) {
    if (!m_pendingDle) {
        if (b == kDle) m_pendingDle = true;
        else m_played.push_back(static_cast<char>(b));
        return;
    }
    m_pendingDle = false;
    if (b == kDle) {
        m_played.push_back(kDle);
    } else if (b == kCan) {
        m_abortSeen = true;
    } else if (b == kEtx) {
        if (m_abortSeen) m_aborts++;
        m_abortSeen = false;
        m_mode = Mode::kCommand;
        Reply("OK");
    }
}

void ModemSimulator::OnRecordByte(unsigned char b) {
    const bool bare = m_family == Family::kRockwell;
    if (m_pendingDle) {
        m_pendingDle = false;
        if (b == '!' && !bare) EndRecording();
        return;
    }
    if (b == kDle) m_pendingDle = true;
    else if (b == '!' && bare) EndRecording();
}

void ModemSimulator::EndRecording() {
    m_mode = Mode::kCommand;
    m_out += std::string{kDle, kEtx};
    Reply("OK");
}

void ModemSimulator::OnCommandByte(char c) {
    if (c == '\n') return;
    if (c != '\r') {
        m_line.push_back(c);
        return;
    }
    if (m_echo) m_out += m_line + "\r";
    const std::string line = m_line;
    m_line.clear();
    if (!line.empty()) Execute(line);
}

void ModemSimulator::Reply(const std::string& text) { m_out += "\r\n" + text + "\r\n"; }

void ModemSimulator::Execute(const std::string& line) {
    const std::string upper = Upper(line);
    m_commands.push_back(upper);
    if (!StartsWith(upper, "AT")) return;
    for (auto& [text, times] : m_ignored) {
        if (times == 0 || upper.find(text) == std::string::npos) continue;
        if (times > 0) times--;
        return;
    }
    std::string body = upper.substr(2);
    std::string result = "OK";
    size_t start = 0;
    while (start <= body.size() && result == "OK") {
        const size_t semi = body.find(';', start);
        const std::string command = body.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        result = ExecuteOne(command);
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    Reply(result);
    if (result == "CONNECT") m_pendingDle = false;
}

// One command of a line; info lines go out at once, the result is returned.
std::string ModemSimulator::ExecuteOne(const std::string& command) {
    if (command.empty()) return "OK";
    if (command[0] == '+' || command[0] == '#') return Extended(command);
    for (size_t i = 0; i < command.size(); i++) {
        const char c = command[i];
        const char next = i + 1 < command.size() ? command[i + 1] : '\0';
        if (c == 'Z') {
            m_echo = true;
            m_voiceClass = false;
            m_offHook = false;
        } else if (c == 'E') {
            m_echo = next != '0';
        } else if (c == 'H') {
            m_offHook = false;
            // These modems leave voice mode when they hang up this way.
            if (m_family == Family::kRockwell) m_voiceClass = false;
        } else if (c == 'A') {
            if (!m_voiceClass) return "NO CARRIER";
            m_offHook = true;
            m_answers++;
            return m_family == Family::kRockwell ? "VCON" : "OK";
        } else if (c == 'I' && next == '3') {
            Reply(m_family == Family::kRockwell ? "Rockwell RC56 Voice" : "VoiceSim");
        }
    }
    return "OK";
}

std::string ModemSimulator::VoiceList() const {
    switch (m_family) {
        case Family::kV253:
            return "0,\"SIGNED PCM\",8,0,(8000),(0),(0)\r\n1,\"UNSIGNED PCM\",8,0,(8000),(0),(0)\r\n"
                   "4,\"G.711U\",8,0,(8000),(0),(0)\r\n5,\"G.711A\",8,0,(8000),(0),(0)";
        case Family::kV253NoFlowControl:
            return "1,\"UNSIGNED PCM\",8,0,(8000),(0),(0)\r\n2,\"ADPCM\",4,0,(8000),(0),(0)";
        case Family::kConexant:
            return "1,\"UNSIGNED PCM\",8,0,8000,0,0\r\n128,\"8-BIT LINEAR\",8,0,(7200,8000,11025),0,0\r\n"
                   "129,\"ADPCM\",4,0,8000,0,0\r\n131,\"ULAW\",8,0,8000,0,0\r\n132,\"ALAW\",8,0,8000,0,0\r\n"
                   "133,\"LINEAR,16\",16,0,8000,0,0";
        case Family::kRockwell:
            break;
    }
    return "";
}

std::string ModemSimulator::Extended(const std::string& command) {
    const bool rockwell = m_family == Family::kRockwell;
    if (command == "+FCLASS=8" || (rockwell && command == "#CLS=8")) {
        m_voiceClass = true;
        return "OK";
    }
    if (command == "+FCLASS=0") {
        m_voiceClass = false;
        return "OK";
    }
    if (command == "+FCLASS=?") {
        Reply("0,1,8");
        return "OK";
    }
    if (command == "+GMI" || command == "+GMM") {
        if (rockwell) return "ERROR";
        const bool conexant = m_family == Family::kConexant;
        if (command == "+GMI") Reply(conexant ? "CONEXANT" : "Vocerra Test Modems");
        else Reply(conexant ? "CX93010 ACF Modem" : "VoiceSim 253");
        return "OK";
    }
    // Voice commands outside voice mode fail, as on real modems; each
    // family knows only its own command set.
    if (!m_voiceClass) return "ERROR";
    if (rockwell != (command[0] == '#')) return "ERROR";
    if (rockwell) {
        if (command == "#VTX" || command == "#VRX") {
            if (!m_offHook) return "ERROR";
            if (command == "#VTX") {
                m_mode = Mode::kPlay;
                m_plays++;
            } else {
                m_mode = Mode::kRecord;
                m_recordings++;
            }
            return "CONNECT";
        }
        return StartsWith(command, "#CID=") || StartsWith(command, "#VSR=") || StartsWith(command, "#VTD=") ||
                       command == "#VBS=8"
                   ? "OK"
                   : "ERROR";
    }
    if (command == "+IFC=2,2") return m_family == Family::kV253NoFlowControl ? "ERROR" : "OK";
    if (command == "+VSM=?") {
        Reply(VoiceList());
        return "OK";
    }
    if (StartsWith(command, "+VSM=")) {
        const int id = std::atoi(command.c_str() + 5);
        const bool listed = VoiceList().find("\n" + std::to_string(id) + ",") != std::string::npos ||
                            StartsWith(VoiceList(), (std::to_string(id) + ",").c_str());
        const size_t commas = static_cast<size_t>(std::count(command.begin(), command.end(), ','));
        // This vendor's firmware wants the silence settings spelled out.
        if (m_family == Family::kConexant && commas < 3) return "ERROR";
        return listed ? "OK" : "ERROR";
    }
    if (command == "+VLS=1" || command == "+VLS=0") {
        if (command == "+VLS=1" && !m_offHook) m_answers++;
        m_offHook = command == "+VLS=1";
        return "OK";
    }
    if (command == "+VTX" || command == "+VRX") {
        if (!m_offHook) return "ERROR";
        if (command == "+VTX") {
            m_mode = Mode::kPlay;
            m_plays++;
        } else {
            m_mode = Mode::kRecord;
            m_recordings++;
        }
        return "CONNECT";
    }
    if (StartsWith(command, "+VCID=") || StartsWith(command, "+VIT=") || StartsWith(command, "+VSD=")) return "OK";
    return "ERROR";
}

void ModemSimulator::Send(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_out += bytes;
}

void ModemSimulator::Ring() { Send("\r\nRING\r\n"); }

namespace {

// The multiple data message format: date, number and name parameters, then
// a checksum byte that makes the sum of all bytes 0 modulo 256.
std::string MultipleDataMessageHex(const CallerIdSpec& report) {
    std::string body = std::string{0x01, 8} + "12072315";
    body += std::string{0x02, static_cast<char>(report.number.size())} + report.number;
    if (report.withName) body += std::string{0x07, static_cast<char>(report.name.size())} + report.name;
    std::string message = std::string{static_cast<char>(0x80), static_cast<char>(body.size())} + body;
    int sum = 0;
    for (char c : message) sum += static_cast<unsigned char>(c);
    message.push_back(static_cast<char>(-sum & 0xFF));
    std::string hex;
    for (char c : message) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
        hex += digits;
    }
    return hex;
}

}  // namespace

void ModemSimulator::SendCallerId(const CallerIdSpec& report) {
    if (report.unformatted) {
        Send("\r\nMESG = " + MultipleDataMessageHex(report) + "\r\n");
        return;
    }
    const std::string eq = report.spaced ? " = " : "=";
    std::string text = "\r\nDATE" + eq + "1207\r\nTIME" + eq + "2315\r\nNMBR" + eq + report.number + "\r\n";
    if (report.withName) text += "NAME" + eq + report.name + "\r\n";
    Send(text);
}

void ModemSimulator::QueueCallerAudio(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_audio += bytes;
}

bool ModemSimulator::CallerAudioSent() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_audio.empty() && m_out.empty();
}

void ModemSimulator::DropCallerAudio() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_audio.clear();
}

size_t ModemSimulator::CallerAudioLeft() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_audio.size();
}

void ModemSimulator::Dtmf(char digit, DtmfStyle style) {
    std::string codes;
    if (style == DtmfStyle::kSingle) {
        codes = {kDle, digit};
    } else {
        codes = {kDle, '/', kDle, digit};
        if (style == DtmfStyle::kRepeated) codes += std::string{kDle, digit, kDle, digit};
        codes += std::string{kDle, '~'};
    }
    Send(codes);
}

void ModemSimulator::Report(char code) {
    if (code == 0) Send("\r\nNO CARRIER\r\n");
    else Send(std::string{kDle, code});
}

void ModemSimulator::PacePlaying(size_t bytes) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_playPace = bytes;
}

void ModemSimulator::SplitDlePairs(bool on) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_splitDle = on;
}

void ModemSimulator::IgnoreCommandsWith(const std::string& text, int times) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_ignored.emplace_back(text, times);
}

std::string ModemSimulator::Played() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_played;
}

std::vector<std::string> ModemSimulator::Commands() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_commands;
}

bool ModemSimulator::CommandSeen(const std::string& text) const {
    for (const std::string& command : Commands())
        if (command.find(text) != std::string::npos) return true;
    return false;
}

bool ModemSimulator::OffHook() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_offHook;
}

int ModemSimulator::Answers() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_answers;
}

int ModemSimulator::Plays() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_plays;
}

int ModemSimulator::AbortedPlays() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_aborts;
}

int ModemSimulator::Recordings() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_recordings;
}

bool ModemSimulator::Recording() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_mode == Mode::kRecord;
}

bool ModemSimulator::Playing() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_mode == Mode::kPlay;
}

bool ModemSimulator::WaitFor(const std::function<bool()>& pred, int maxMs) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace modemsim

#include "line_client.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "lines/sim/sim_line_protocol.h"
#include "lines/sim/sim_line_socket.h"

namespace callclient {

namespace {

constexpr size_t kMaxReplyLine = 4096;

std::optional<unsigned long> Field(const std::string& text, const std::string& key) {
    std::istringstream words(text);
    std::string word;
    while (words >> word)
        if (word.rfind(key + "=", 0) == 0) return simline::ParseNumber(word.substr(key.size() + 1), ~0ul);
    return std::nullopt;
}

}  // namespace

LineClient::~LineClient() {
    if (m_fd >= 0) close(m_fd);
}

bool LineClient::Connect(const std::string& socketPath, std::string* error) {
    bool absent = false;
    std::string reason;
    m_fd = simline::ConnectPrivate(socketPath, &reason, &absent);
    if (m_fd < 0) {
        *error = absent ? "no Vocerra is running for this user with the simulated line (nothing serves " + socketPath + ")" : reason;
        return false;
    }
    auto hello = Request("HELLO");
    if (!hello || hello->rfind("vocerra-sim-line ", 0) != 0) {
        *error = "the server at " + socketPath + " refused: " + (hello ? "unknown greeting" : m_error);
        return false;
    }
    const size_t at = hello->find("scale=");
    if (at != std::string::npos) m_scale = std::strtod(hello->c_str() + at + 6, nullptr);
    if (!(m_scale > 0)) m_scale = 1.0;
    return true;
}

std::optional<std::string> LineClient::Request(const std::string& line) {
    const std::string request = line + "\n";
    const bool sent = simline::SendAll(m_fd, request.data(), request.size());
    // A server that refuses says why before it closes; read that even when
    // the request could not be written any more.
    auto reply = ReadLine();
    if (!sent && (!reply || reply->rfind("ERR ", 0) != 0)) {
        m_error = "Vocerra went away";
        return std::nullopt;
    }
    if (!reply) return std::nullopt;
    if (*reply == "OK") return std::string();
    if (reply->rfind("OK ", 0) == 0) return reply->substr(3);
    m_error = reply->rfind("ERR ", 0) == 0 ? reply->substr(4) : "malformed reply '" + *reply + "'";
    return std::nullopt;
}

std::optional<LineStatus> LineClient::Status() {
    auto reply = Request("STATUS");
    if (!reply) return std::nullopt;
    LineStatus s;
    std::istringstream words(*reply);
    std::string word;
    while (words >> word)
        if (word.rfind("state=", 0) == 0) s.state = word.substr(6);
    s.rings = static_cast<unsigned>(Field(*reply, "rings").value_or(0));
    s.answered = Field(*reply, "answered").value_or(0) != 0;
    s.dropped = Field(*reply, "dropped").value_or(0) != 0;
    s.captured = Field(*reply, "captured").value_or(0);
    s.sent = Field(*reply, "sent").value_or(0);
    s.left = Field(*reply, "left").value_or(0);
    return s;
}

bool LineClient::Audio(size_t from, std::vector<std::int16_t>* out) {
    auto reply = Request("AUDIO " + std::to_string(from));
    if (!reply) return false;
    auto count = simline::ParseNumber(*reply, simline::kMaxAudioReply);
    if (!count) {
        m_error = "malformed AUDIO reply";
        return false;
    }
    std::string body(*count * 2, '\0');
    if (!ReadExactly(body.data(), body.size())) return false;
    for (size_t i = 0; i < *count; i++) {
        const auto lo = static_cast<unsigned char>(body[2 * i]);
        const auto hi = static_cast<unsigned char>(body[2 * i + 1]);
        out->push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8))));
    }
    return true;
}

bool LineClient::Bye() {
    if (!Request("BYE")) return false;
    // Nothing follows the reply but the server's close.
    return !ReadLine();
}

std::optional<std::string> LineClient::ReadLine() {
    for (;;) {
        const size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return line;
        }
        if (m_buffer.size() > kMaxReplyLine) {
            m_error = "reply too long";
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = "Vocerra went away";
            return std::nullopt;
        }
        m_buffer.append(chunk, static_cast<size_t>(n));
    }
}

bool LineClient::ReadExactly(char* data, size_t length) {
    const size_t buffered = std::min(length, m_buffer.size());
    std::memcpy(data, m_buffer.data(), buffered);
    m_buffer.erase(0, buffered);
    for (size_t got = buffered; got < length;) {
        const ssize_t n = recv(m_fd, data + got, length - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = "Vocerra went away";
            return false;
        }
        got += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace callclient

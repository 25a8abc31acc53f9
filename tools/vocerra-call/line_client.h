// The client side of the simulated line's remote-party protocol
// (lines/sim/sim_line_protocol.h): one connection, one call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace callclient {

struct LineStatus {
    std::string state;  // offering, accepted, connected, disconnected, idle, other
    unsigned rings = 0;
    bool answered = false;
    bool dropped = false;  // Vocerra hung up (dropped the call)
    size_t captured = 0;
    size_t sent = 0;
    size_t left = 0;

    bool Over() const { return state == "disconnected" || state == "idle"; }
};

class LineClient {
public:
    LineClient() = default;
    ~LineClient();
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    // Connects and greets the server. False with a message for the user.
    bool Connect(const std::string& socketPath, std::string* error);
    // The server's time scale (HELLO).
    double Scale() const { return m_scale; }

    // One request; the text after "OK" (possibly empty), or nullopt with the
    // server's reason (or the connection's failure) in LastError().
    std::optional<std::string> Request(const std::string& line);
    std::optional<LineStatus> Status();
    // Samples the line played from sample `from` on (appended to *out).
    bool Audio(size_t from, std::vector<std::int16_t>* out);
    const std::string& LastError() const { return m_error; }
    // Says goodbye and waits until the server has closed its end.
    bool Bye();

private:
    std::optional<std::string> ReadLine();
    bool ReadExactly(char* data, size_t length);

    int m_fd = -1;
    double m_scale = 1.0;
    std::string m_buffer;
    std::string m_error;
};

}  // namespace callclient

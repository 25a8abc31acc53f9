// The loopback mail server of the notification tests (smtp_server.py
// under /usr/bin/python3), one per test, on free ports, with a certificate
// authority of its own; and what it received.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace notifytest {

struct ReceivedAttachment {
    std::string name;
    std::string type;
    std::string bytes;
};

struct ReceivedMail {
    std::string mailFrom;
    std::vector<std::string> rcptTos;
    std::string login;  // empty without login
    bool tls = false;
    int connection = 0;  // mails on one connection share the number
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::vector<ReceivedAttachment> attachments;
    std::string raw;

    // The first header of that name (case-insensitive), or empty.
    std::string Header(const std::string& name) const;
    int HeaderCount(const std::string& name) const;
};

class SmtpTestServer {
public:
    SmtpTestServer();
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    // False when the server did not come up; the reason is in error().
    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }
    // "plain", "tls", "starttls", "wronghost", "silent", "closing".
    int port(const std::string& listener) const;
    // The certificate authority of the server's certificates.
    std::string caFile() const { return m_dir.path() + "/certs/ca.pem"; }
    // Every mail received so far, in order.
    std::vector<ReceivedMail> Received() const;

private:
    void Start();

    testsupport::TempDir m_dir;
    int m_pid = -1;
    int m_stdin = -1;
    bool m_ok = false;
    std::string m_error;
    std::vector<std::pair<std::string, int>> m_ports;
};

// A port on 127.0.0.1 where nothing listens (bound, then let go).
int UnusedPort();

// Thirty seconds of scaled time in one of real time, for one scope, so the
// mail time-outs end quickly.
class FastTimeOuts {
public:
    FastTimeOuts();
    ~FastTimeOuts();
    FastTimeOuts(const FastTimeOuts&) = delete;
    FastTimeOuts& operator=(const FastTimeOuts&) = delete;

private:
    double m_saved;
};

}  // namespace notifytest

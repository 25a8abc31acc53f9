// One SMTP dialogue with a mail server: connect and log in, send messages,
// close. Every failing call throws QvSmtpException; none hangs: connecting,
// every server answer and a stalled transfer each have a time-out of
// kTimeoutMs of scaled time.
#pragma once

#include <atomic>
#include <memory>

namespace qvsmtp {

class QvSmtpMessage;

class QvSmtpConnection {
public:
    static constexpr int kAuthNone = 0;
    static constexpr int kAuthLogin = 3;
    static constexpr int kSecurityPlainText = 0;
    static constexpr int kSecuritySslTls = 1;
    static constexpr int kSecurityStartTls = 2;
    static constexpr double kTimeoutMs = 30000;

    // Throws 0x80000001 "QvSmtpConnection::QvSmtpConnection() - Constructor
    // Failed!" when no connection can be made.
    QvSmtpConnection();
    // Ends a dialogue still open.
    ~QvSmtpConnection();
    QvSmtpConnection(const QvSmtpConnection&) = delete;
    QvSmtpConnection& operator=(const QvSmtpConnection&) = delete;

    // Opens the dialogue and, with kAuthLogin, logs in at once, so a wrong
    // password fails here (FAILED_AUTHENTICATION); an unreachable or silent
    // server, or a certificate that is not trusted for the server's name,
    // fails with FAILED_CONNECTION. TLS certificates are verified against
    // the system's store and the extra CA file, if any.
    void Connect(const char* server, int port, int auth, const char* user, const char* password, int security);
    // Delivers the message on the open dialogue. A refused recipient, a
    // server that hangs up or stops answering: FAILED_SENDMAILMSG. After a
    // failure the next Send opens the dialogue again.
    void Send(const QvSmtpMessage& message);
    // Ends the dialogue after the last message.
    void Close();

    // A file of extra trusted certificate authorities, for servers with a
    // private one; without it VOCERRA_SMTP_CA_FILE is used when set.
    void SetCaFile(const char* path);
    // While *flag is true every call in progress or to come fails at once
    // (FAILED_CONNECTION or FAILED_SENDMAILMSG); for a program that stops.
    void SetAbortFlag(const std::atomic<bool>* flag);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace qvsmtp

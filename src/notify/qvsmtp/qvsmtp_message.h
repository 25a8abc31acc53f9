// One mail being put together: sender, recipients, subject, plain-text body
// and attached recordings. Every failing call throws QvSmtpException.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qvsmtp {

class QvSmtpMessage {
public:
    // Biggest message the library sends, attachments coded.
    static constexpr std::uint64_t kMaxMailBytes = 40u << 20;
    static constexpr int kBodyPlainText = 1;

    // Throws 0x80000001 "QvSmtpMessage::QvSmtpMessage() - Constructor Failed!"
    // when no message can be made.
    QvSmtpMessage();
    ~QvSmtpMessage();
    QvSmtpMessage(const QvSmtpMessage&) = delete;
    QvSmtpMessage& operator=(const QvSmtpMessage&) = delete;

    // The From address.
    void SetFrom(const char* address);
    // The address the server returns failures to (the envelope sender).
    void SetSender(const char* address);
    // One more To address.
    void AddRecipient(const char* address);
    void SetSubject(const char* text);
    // Accepted and kept; it changes nothing in the mail.
    void SetOption(int option);
    // Only kBodyPlainText is known.
    void SetBody(const char* text, int kind);
    // Reads the file now; an unreadable, empty or too big file throws.
    void Attach(const char* path);
    // Accepted and kept, as SetOption.
    void SetFinalOption(int option);

    // For the connection: the envelope and the composed mail. Throws
    // BAD_MAILMSG when there is no sender or no recipient.
    const std::string& GetEnvelopeSender() const;
    const std::vector<std::string>& GetRecipients() const;
    std::string Compose() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace qvsmtp

#include "notify/qvsmtp/qvsmtp_message.h"

#include <ctime>
#include <fstream>
#include <new>

#include "notify/qvsmtp/mail_composer.h"
#include "notify/qvsmtp/mime_text.h"
#include "notify/qvsmtp/qvsmtp_exception.h"

namespace qvsmtp {

struct QvSmtpMessage::Impl {
    mime::MailParts parts;
    std::string sender;
    std::uint64_t attachedBytes = 0;
    int option = 0;
    int finalOption = 0;
};

namespace {

std::string CheckedAddress(const char* address, int line) {
    if (address == nullptr || !mime::IsValidAddress(address))
        throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_EMAIL_ADDR), line);
    return address;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Base64 makes four characters of three bytes, plus a line end every 76.
std::uint64_t CodedSize(std::uint64_t bytes) { return bytes / 3 * 4 * 78 / 76 + 80; }

}  // namespace

QvSmtpMessage::QvSmtpMessage() : m_impl(new (std::nothrow) Impl) {
    if (!m_impl)
        throw QvSmtpException(QVSMTP_E_CONSTRUCTOR, __LINE__, "QvSmtpMessage::QvSmtpMessage() - Constructor Failed!");
}

QvSmtpMessage::~QvSmtpMessage() = default;

void QvSmtpMessage::SetFrom(const char* address) { m_impl->parts.from = CheckedAddress(address, __LINE__); }

void QvSmtpMessage::SetSender(const char* address) { m_impl->sender = CheckedAddress(address, __LINE__); }

void QvSmtpMessage::AddRecipient(const char* address) {
    m_impl->parts.to.push_back(CheckedAddress(address, __LINE__));
}

void QvSmtpMessage::SetSubject(const char* text) {
    if (text == nullptr) throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS), __LINE__);
    m_impl->parts.subject = text;
}

void QvSmtpMessage::SetOption(int option) { m_impl->option = option; }

void QvSmtpMessage::SetBody(const char* text, int kind) {
    if (text == nullptr || kind != kBodyPlainText)
        throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS), __LINE__);
    m_impl->parts.body = text;
}

void QvSmtpMessage::Attach(const char* path) {
    if (path == nullptr || *path == '\0') throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_PARAMS), __LINE__);
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_ATTACHMENT), __LINE__);
    const std::streamoff size = file.tellg();
    if (size <= 0) throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_ATTACHMENT), __LINE__);
    if (m_impl->attachedBytes + CodedSize(static_cast<std::uint64_t>(size)) > kMaxMailBytes)
        throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_MAILSIZE), __LINE__);
    std::string bytes(static_cast<size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(bytes.data(), size)) throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_ATTACHMENT), __LINE__);
    m_impl->attachedBytes += CodedSize(static_cast<std::uint64_t>(size));
    m_impl->parts.attachments.push_back({BaseName(path), std::move(bytes)});
}

void QvSmtpMessage::SetFinalOption(int option) { m_impl->finalOption = option; }

const std::string& QvSmtpMessage::GetEnvelopeSender() const {
    return m_impl->sender.empty() ? m_impl->parts.from : m_impl->sender;
}

const std::vector<std::string>& QvSmtpMessage::GetRecipients() const { return m_impl->parts.to; }

std::string QvSmtpMessage::Compose() const {
    if (m_impl->parts.from.empty() || m_impl->parts.to.empty())
        throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_BAD_MAILMSG), __LINE__);
    try {
        return mime::ComposeMail(m_impl->parts, std::time(nullptr));
    } catch (const std::bad_alloc&) {
        throw QvSmtpException(QvSmtpFailure(QVSMTP_ECODE_FAILED_CODING), __LINE__);
    }
}

}  // namespace qvsmtp

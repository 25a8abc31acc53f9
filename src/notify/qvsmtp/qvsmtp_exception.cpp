#include "notify/qvsmtp/qvsmtp_exception.h"

namespace qvsmtp {

namespace {

constexpr const char* kCodeNames[] = {
    "QVSMTP_ECODE_BAD_PARAMS",
    "QVSMTP_ECODE_BAD_EMAIL_ADDR",
    "QVSMTP_ECODE_BAD_ATTACHMENT",
    "QVSMTP_ECODE_BAD_MAILMSG",
    "QVSMTP_ECODE_BAD_MAILSIZE",
    "QVSMTP_ECODE_FAILED_CODING",
    "QVSMTP_ECODE_FAILED_AUTHENTICATION",
    "QVSMTP_ECODE_FAILED_CONNECTION",
    "QVSMTP_ECODE_FAILED_SENDMAILMSG",
    "QVSMTP_ECODE_FAILED_DISCONNECTION",
};

}  // namespace

QvSmtpException::QvSmtpException(std::int32_t code, int line, const char* text)
    : m_code(code), m_line(line) {
    if (text != nullptr && *text != '\0') {
        m_text = text;
        return;
    }
    const char* name = CodeName(code);
    m_text = name != nullptr ? name : "QVSMTP_E_FAIL";
}

const char* QvSmtpException::GetFile() const {
    return "..\\..\\CommonLibs\\Library\\QvSmtp\\Include\\QvSmtp";
}

const char* QvSmtpException::CodeName(std::int32_t code) {
    const auto value = static_cast<std::uint32_t>(code);
    const std::uint32_t facility = (value >> 16) & 0x1FFFu;
    const std::uint32_t low = value & 0xFFFFu;
    if (facility != 4 || low < QVSMTP_ECODE_BAD_PARAMS || low > QVSMTP_ECODE_FAILED_DISCONNECTION)
        return nullptr;
    return kCodeNames[low - QVSMTP_ECODE_BAD_PARAMS];
}

}  // namespace qvsmtp

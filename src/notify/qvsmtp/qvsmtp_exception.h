// What every failing call of the SMTP client library throws.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace qvsmtp {

// Low words of the library's failure codes (facility 4).
constexpr std::uint32_t QVSMTP_ECODE_BAD_PARAMS = 0x101;
constexpr std::uint32_t QVSMTP_ECODE_BAD_EMAIL_ADDR = 0x102;
constexpr std::uint32_t QVSMTP_ECODE_BAD_ATTACHMENT = 0x103;
constexpr std::uint32_t QVSMTP_ECODE_BAD_MAILMSG = 0x104;
constexpr std::uint32_t QVSMTP_ECODE_BAD_MAILSIZE = 0x105;
constexpr std::uint32_t QVSMTP_ECODE_FAILED_CODING = 0x106;
constexpr std::uint32_t QVSMTP_ECODE_FAILED_AUTHENTICATION = 0x107;
constexpr std::uint32_t QVSMTP_ECODE_FAILED_CONNECTION = 0x108;
constexpr std::uint32_t QVSMTP_ECODE_FAILED_SENDMAILMSG = 0x109;
constexpr std::uint32_t QVSMTP_ECODE_FAILED_DISCONNECTION = 0x10A;

// A failure result: severity bit, facility 4, the low word.
constexpr std::int32_t QvSmtpFailure(std::uint32_t lowWord) {
    return static_cast<std::int32_t>(0x80000000u | (4u << 16) | lowWord);
}
// What a constructor throws when the library gives no handle.
constexpr std::int32_t QVSMTP_E_CONSTRUCTOR = static_cast<std::int32_t>(0x80000001u);

class QvSmtpException : public std::exception {
public:
    // With null or empty text, the text is the code's name for a listed code
    // of facility 4, else "QVSMTP_E_FAIL".
    QvSmtpException(std::int32_t code, int line, const char* text = nullptr);

    std::int32_t GetCode() const { return m_code; }
    int GetLine() const { return m_line; }
    const char* GetFile() const;
    const char* GetText() const { return m_text.c_str(); }
    const char* what() const noexcept override { return m_text.c_str(); }

    // The name of a listed code, or null.
    static const char* CodeName(std::int32_t code);

private:
    std::int32_t m_code;
    int m_line;
    std::string m_text;
};

}  // namespace qvsmtp

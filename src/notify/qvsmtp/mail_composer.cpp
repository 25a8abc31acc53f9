#include "notify/qvsmtp/mail_composer.h"

#include <atomic>
#include <cstdio>
#include <random>

#include "notify/qvsmtp/mime_text.h"

namespace qvsmtp::mime {

namespace {

std::string RandomHex(int bytes) {
    static thread_local std::mt19937_64 engine{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        const auto b = static_cast<unsigned>(engine() & 0xFF);
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string BodyPart(std::string_view body) {
    const std::string text = WithCrlf(ToValidUtf8(body));
    std::string out = "Content-Type: text/plain; charset=UTF-8\r\n";
    if (IsPlain7Bit(text)) return out + "Content-Transfer-Encoding: 7bit\r\n\r\n" + text + "\r\n";
    return out + "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + QuotedPrintable(text) + "\r\n";
}

std::string AttachmentPart(const Attachment& attachment) {
    const std::string name = SafeFileName(attachment.fileName);
    return "Content-Type: audio/wav; name=\"" + name + "\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"" + name + "\"\r\n\r\n" +
           Base64Lines(attachment.bytes);
}

std::string Headers(const MailParts& parts, std::time_t now) {
    return "Date: " + DateValue(now) + "\r\n" +
           AddressListLine("From", &parts.from, 1) +
           AddressListLine("To", parts.to.data(), parts.to.size()) +
           HeaderLine("Subject", parts.subject) +
           "Message-ID: " + NewMessageId(AddressDomain(parts.from), now) + "\r\n"
           "MIME-Version: 1.0\r\n";
}

}  // namespace

std::string ComposeMail(const MailParts& parts, std::time_t now) {
    std::string mail = Headers(parts, now);
    if (parts.attachments.empty()) return mail + BodyPart(parts.body);
    // Base64 and quoted-printable never produce "=_", and plain text would
    // have to guess the random part, so the boundary cannot occur in a part.
    const std::string boundary = "=_vocerra_" + RandomHex(12);
    mail += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    // Each part's last line end belongs to the boundary that follows it, so
    // the text gets one more to end in a line end as it does on its own.
    mail += "--" + boundary + "\r\n" + BodyPart(parts.body) + "\r\n";
    for (const Attachment& attachment : parts.attachments)
        mail += "--" + boundary + "\r\n" + AttachmentPart(attachment) + "\r\n";
    return mail + "--" + boundary + "--\r\n";
}

std::string DateValue(std::time_t now) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&now, &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday % 7],
                  local.tm_mday, kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string NewMessageId(std::string_view domain, std::time_t now) {
    static std::atomic<unsigned> counter{0};
    const std::string host = domain.empty() ? std::string("localhost") : std::string(domain);
    return "<" + RandomHex(8) + "." + std::to_string(static_cast<long long>(now)) + "." +
           std::to_string(counter.fetch_add(1) + 1) + "@" + host + ">";
}

std::string SafeFileName(std::string_view name) {
    std::string out;
    for (unsigned char c : name) {
        const bool safe = (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '.' ||
                          c == '-' || c == '_';
        out += safe ? static_cast<char>(c) : '_';
    }
    return out.empty() ? std::string("message.wav") : out;
}

}  // namespace qvsmtp::mime

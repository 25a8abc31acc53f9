// The bytes of one mail: headers, a text/plain body and audio attachments
// in a multipart/mixed message.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace qvsmtp::mime {

struct Attachment {
    std::string fileName;  // shown to the reader; the file's own name
    std::string bytes;
};

struct MailParts {
    std::string from;             // a valid address
    std::vector<std::string> to;  // valid addresses
    std::string subject;
    std::string body;
    std::vector<Attachment> attachments;
};

// The whole message with CRLF line ends, dated `now` in local time.
std::string ComposeMail(const MailParts& parts, std::time_t now);

// "Tue, 03 Mar 2026 21:07:00 +0100": English names whatever the locale.
std::string DateValue(std::time_t now);
// "<random.time@domain>", unique for every call.
std::string NewMessageId(std::string_view domain, std::time_t now);
// Characters a file name may show in a header; the others become '_'.
std::string SafeFileName(std::string_view name);

}  // namespace qvsmtp::mime

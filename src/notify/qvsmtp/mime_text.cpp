#include "notify/qvsmtp/mime_text.h"

#include <cstring>

namespace qvsmtp::mime {

namespace {

constexpr size_t kFoldWidth = 78;
constexpr size_t kMaxLine = 998;
constexpr size_t kQpWidth = 76;
// Input bytes per encoded word: 60 base64 characters, so "=?UTF-8?B?...?="
// stays within the 75 characters an encoded word may have.
constexpr size_t kEncodedWordBytes = 45;

bool IsAtomChar(unsigned char c) {
    if (c >= '0' && c <= '9') return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
    return std::strchr("!#$%&'*+-/=?^_`{|}~.", c) != nullptr && c != '\0';
}

bool IsDomainChar(unsigned char c) {
    return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '-' || c == '.';
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return 0;
    return length;
}

bool IsPrintableAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string EncodedWords(std::string_view name, std::string_view text) {
    std::string line = std::string(name) + ":";
    size_t start = 0;
    bool first = true;
    do {
        size_t end = start + kEncodedWordBytes < text.size() ? start + kEncodedWordBytes : text.size();
        // Never split a character between two words.
        while (end > start + 1 && end < text.size() && IsContinuation(static_cast<unsigned char>(text[end])))
            --end;
        line += first ? " " : "\r\n ";
        line += "=?UTF-8?B?" + Base64(text.substr(start, end - start)) + "?=";
        first = false;
        start = end;
    } while (start < text.size());
    return line + "\r\n";
}

// Folds before blanks; empty when a line would still be too long.
std::string FoldedLine(std::string_view name, std::string_view text) {
    std::string out;
    std::string line = std::string(name) + ":";
    size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        size_t blank = text.find(' ', start);
        if (blank == std::string_view::npos) blank = text.size();
        const std::string_view word = text.substr(start, blank - start);
        if (!first && !word.empty() && line.size() + 1 + word.size() > kFoldWidth && line.size() > 1) {
            out += line + "\r\n";
            line.clear();
        }
        line += " ";
        line += word;
        if (line.size() > kMaxLine) return {};
        first = false;
        start = blank + 1;
    }
    return out + line + "\r\n";
}

}  // namespace

bool IsValidAddress(std::string_view address) {
    if (address.empty() || address.size() > 254) return false;
    const size_t at = address.rfind('@');
    if (at == 0 || at == std::string_view::npos || at + 1 >= address.size()) return false;
    const std::string_view local = address.substr(0, at);
    const std::string_view domain = address.substr(at + 1);
    if (local.size() > 64 || local.front() == '.' || local.back() == '.') return false;
    for (unsigned char c : local)
        if (!IsAtomChar(c)) return false;
    if (domain.front() == '.' || domain.back() == '.' || domain.front() == '-') return false;
    for (unsigned char c : domain)
        if (!IsDomainChar(c)) return false;
    return local.find("..") == std::string_view::npos && domain.find("..") == std::string_view::npos;
}

std::string_view AddressDomain(std::string_view address) {
    const size_t at = address.rfind('@');
    return at == std::string_view::npos ? std::string_view{} : address.substr(at + 1);
}

std::string ToValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string WithoutControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
    return out;
}

std::string HeaderLine(std::string_view name, std::string_view text) {
    const std::string clean = ToValidUtf8(WithoutControls(text));
    if (IsPrintableAscii(clean) && clean.find("=?") == std::string::npos) {
        std::string folded = FoldedLine(name, clean);
        if (!folded.empty()) return folded;
    }
    return EncodedWords(name, clean);
}

std::string AddressListLine(std::string_view name, const std::string* addresses, size_t count) {
    std::string out;
    std::string line = std::string(name) + ":";
    for (size_t i = 0; i < count; ++i) {
        const std::string item = " " + addresses[i] + (i + 1 < count ? "," : "");
        if (i > 0 && line.size() + item.size() > kFoldWidth) {
            out += line + "\r\n";
            line.clear();
        }
        line += item;
    }
    return out + line + "\r\n";
}

std::string WithCrlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Base64(std::string_view data) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                           (static_cast<unsigned char>(data[i + 1]) << 8) | static_cast<unsigned char>(data[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < data.size() ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Base64Lines(std::string_view data) {
    const std::string encoded = Base64(data);
    std::string out;
    out.reserve(encoded.size() + encoded.size() / 38 + 2);
    for (size_t i = 0; i < encoded.size(); i += 76) {
        out.append(encoded, i, 76);
        out += "\r\n";
    }
    return out;
}

std::string QuotedPrintable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    size_t lineStart = 0;
    while (lineStart <= text.size()) {
        size_t lineEnd = text.find("\r\n", lineStart);
        const bool last = lineEnd == std::string_view::npos;
        if (last) lineEnd = text.size();
        size_t width = 0;
        for (size_t i = lineStart; i < lineEnd; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            const bool blankAtEnd = (c == ' ' || c == '\t') && i + 1 == lineEnd;
            std::string token;
            if (c >= 33 && c <= 126 && c != '=') token = static_cast<char>(c);
            else if ((c == ' ' || c == '\t') && !blankAtEnd) token = static_cast<char>(c);
            else token = {'=', kHex[c >> 4], kHex[c & 15]};
            if (width + token.size() > kQpWidth - 1) {
                out += "=\r\n";
                width = 0;
            }
            out += token;
            width += token.size();
        }
        if (last) break;
        out += "\r\n";
        lineStart = lineEnd + 2;
    }
    return out;
}

bool IsPlain7Bit(std::string_view crlfText) {
    size_t width = 0;
    for (size_t i = 0; i < crlfText.size(); ++i) {
        const auto c = static_cast<unsigned char>(crlfText[i]);
        if (c == '\r') {
            if (i + 1 >= crlfText.size() || crlfText[i + 1] != '\n') return false;
            ++i;
            width = 0;
            continue;
        }
        if ((c < 0x20 && c != '\t') || c > 0x7E) return false;
        if (++width > kQpWidth) return false;
    }
    return true;
}

}  // namespace qvsmtp::mime

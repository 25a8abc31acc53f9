#include "lines/base/caller_text.h"

namespace lines {

namespace {

// The length of the well-formed UTF-8 character at text[at] (lead byte
// 0x80 or above), or 0 when none begins there.
size_t MultiByteLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    }
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t k = 1; k < length; k++) {
        const auto byte = static_cast<unsigned char>(text[at + k]);
        if (k == 1 ? (byte < low || byte > high) : (byte & 0xC0) != 0x80) return 0;
    }
    return length;
}

bool IsControl(unsigned codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

}  // namespace

std::string CallerText(std::string_view raw) {
    std::string out;
    for (size_t at = 0; at < raw.size();) {
        const auto byte = static_cast<unsigned char>(raw[at]);
        std::string piece;
        size_t length = byte < 0x80 ? 1 : MultiByteLength(raw, at);
        if (length == 1) {
            if (!IsControl(byte)) piece.assign(1, static_cast<char>(byte));
        } else if (length > 1) {
            // U+0080..U+009F are the two bytes C2 80..C2 9F.
            const auto second = static_cast<unsigned char>(raw[at + 1]);
            if (!(byte == 0xC2 && IsControl(second))) piece.assign(raw.substr(at, length));
        } else {
            length = 1;
            if (!IsControl(byte))
                piece = {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
        }
        if (out.size() + piece.size() > kMaxCallerText) break;
        out += piece;
        at += length;
    }
    return out;
}

}  // namespace lines

#include "shell/terminal_text.h"

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

// How many continuation bytes a UTF-8 lead byte announces.
int Continuations(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return 0;
}

}  // namespace

std::string VM_EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    int pending = 0;  // continuation bytes still due
    for (size_t i = 0; i < text.size(); i++) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool continuation = (byte & 0xC0) == 0x80;
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // U+0080..U+009F: the C1 controls, CSI among them.
            AppendEscaped(out, byte);
            AppendEscaped(out, next);
            i++;
            pending = 0;
        } else if (byte < 0x20 || byte == 0x7F || (continuation && pending == 0 && byte <= 0x9F)) {
            AppendEscaped(out, byte);
            pending = 0;
        } else {
            out += static_cast<char>(byte);
            pending = continuation ? (pending > 0 ? pending - 1 : 0) : Continuations(byte);
        }
    }
    return out;
}

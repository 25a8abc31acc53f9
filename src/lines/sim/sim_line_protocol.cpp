#include "lines/sim/sim_line_protocol.h"

#include "lines/base/runtime_folder.h"

namespace simline {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string RemoteSocketFolder() { return lines::RuntimeFolder(); }

std::string RemoteSocketPath() { return RemoteSocketFolder() + "/sim-line.sock"; }

std::string PercentEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x21 || c > 0x7E || c == '%' || c == '=') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = HexValue(text[i + 1]);
        const int lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

bool Request::Has(std::string_view word) const {
    for (const std::string& w : words)
        if (w == word) return true;
    return false;
}

std::optional<std::string> Request::Value(std::string_view key, bool* bad) const {
    for (const std::string& w : words) {
        if (w.size() <= key.size() || w.compare(0, key.size(), key) != 0 || w[key.size()] != '=')
            continue;
        auto value = PercentDecode(std::string_view(w).substr(key.size() + 1));
        if (!value || value->size() > kMaxTextField) {
            *bad = true;
            return std::nullopt;
        }
        return value;
    }
    return std::nullopt;
}

std::optional<Request> ParseRequest(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Request request;
    size_t start = 0;
    for (size_t i = 0; i <= line.size(); i++) {
        if (i < line.size() && static_cast<unsigned char>(line[i]) < 0x20) return std::nullopt;
        if (i < line.size() && line[i] != ' ') continue;
        if (i > start) {
            std::string word(line.substr(start, i - start));
            if (request.verb.empty())
                request.verb = std::move(word);
            else
                request.words.push_back(std::move(word));
        }
        start = i + 1;
    }
    if (request.verb.empty()) return std::nullopt;
    return request;
}

std::optional<unsigned long> ParseNumber(std::string_view text, unsigned long limit) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > limit) return std::nullopt;
    return value;
}

}  // namespace simline

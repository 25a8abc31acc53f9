#include "platform/win32/registry_text.h"

#include <cstdio>

namespace regtext {

namespace {

constexpr DWORD kTypeSz = 1;
constexpr DWORD kTypeBinary = 3;
constexpr DWORD kTypeDword = 4;
constexpr size_t kHexLineWidth = 76;

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerChar(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// 1 to maxDigits hexadecimal digits and nothing else.
bool ParseHexNumber(std::string_view text, size_t maxDigits, DWORD& out) {
    if (text.empty() || text.size() > maxDigits) return false;
    out = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0) return false;
        out = (out << 4) | static_cast<DWORD>(d);
    }
    return true;
}

// A comma-separated byte list; a trailing comma is allowed.
bool ParseHexBytes(std::string_view text, std::string& out) {
    out.clear();
    text = TrimBlanks(text);
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view token = TrimBlanks(text.substr(0, comma));
        DWORD byte = 0;
        if (!ParseHexNumber(token, 2, byte)) return false;
        out.push_back(static_cast<char>(byte));
        if (comma == std::string_view::npos) break;
        text = TrimBlanks(text.substr(comma + 1));
    }
    return true;
}

// Reads a quoted text starting at text[pos] == '"'; pos ends after the
// closing quote. Only \\ and \" are escapes; any other backslash is kept,
// which is what a hand-typed Windows path needs.
bool ParseQuoted(std::string_view text, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != '"') return false;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) {
            c = text[++pos];
        }
        out.push_back(c);
    }
    return false;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool ParseRoot(std::string_view name, Root& root) {
    for (int r = 0; r < kRootCount; ++r) {
        if (SameName(name, RootName(static_cast<Root>(r)))) {
            root = static_cast<Root>(r);
            return true;
        }
    }
    return false;
}

// What the parser is working on between lines.
struct ParseState {
    Store& store;
    Key* current = nullptr;  // key of the last section header; null after a deletion
};

// "[ROOT\path]" opens (creating) a key; "[-ROOT\path]" deletes it.
bool ParseSection(std::string_view line, ParseState& state) {
    state.current = nullptr;
    if (line.size() < 2 || line.back() != ']') return false;
    std::string_view inner = line.substr(1, line.size() - 2);
    bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    std::vector<std::string_view> parts = SplitPath(inner);
    Root root;
    if (parts.empty() || parts.size() - 1 > kMaxKeyDepth || !ParseRoot(parts.front(), root)) return false;
    Key* key = &state.store.roots[root];
    if (remove) {
        if (parts.size() == 1) {
            key->values.clear();
            key->subkeys.clear();
            return true;
        }
        for (size_t i = 1; i + 1 < parts.size() && key != nullptr; ++i) key = key->FindSubkey(parts[i]);
        if (key != nullptr) key->subkeys.erase(Lower(parts.back()));
        return true;
    }
    for (size_t i = 1; i < parts.size(); ++i) key = key->AddSubkey(parts[i]);
    state.current = key;
    return true;
}

bool ParseData(std::string_view data, DWORD& type, std::string& bytes) {
    if (data.size() >= 2 && data.front() == '"') {
        size_t pos = 0;
        if (!ParseQuoted(data, pos, bytes) || !TrimBlanks(data.substr(pos)).empty()) return false;
        bytes.push_back('\0');
        type = kTypeSz;
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        DWORD number = 0;
        if (!ParseHexNumber(TrimBlanks(data.substr(6)), 8, number)) return false;
        bytes.clear();
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
        type = kTypeDword;
        return true;
    }
    if (StartsWithNoCase(data, "hex:")) {
        type = kTypeBinary;
        return ParseHexBytes(data.substr(4), bytes);
    }
    if (StartsWithNoCase(data, "hex(")) {
        size_t close = data.find("):");
        if (close == std::string_view::npos || !ParseHexNumber(data.substr(4, close - 4), 8, type)) {
            return false;
        }
        return ParseHexBytes(data.substr(close + 2), bytes);
    }
    return false;
}

// "name"=data or @=data, in the key of the last section.
bool ParseValueLine(std::string_view line, ParseState& state) {
    if (state.current == nullptr) return false;
    std::string name;
    size_t pos = 0;
    if (line.front() == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, pos, name)) {
        return false;
    }
    std::string_view rest = TrimBlanks(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return false;
    std::string_view data = TrimBlanks(rest.substr(1));
    if (data == "-") {
        state.current->RemoveValue(name);
        return true;
    }
    DWORD type = 0;
    std::string bytes;
    if (!ParseData(data, type, bytes)) return false;
    state.current->SetValue(name, type, std::move(bytes));
    return true;
}

// The pieces between separators, empty ones included.
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (size_t end = text.find(separator);; end = text.find(separator)) {
        pieces.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return pieces;
}

// Lines without their line ends and trailing blanks.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines = Split(text, '\n');
    for (std::string_view& line : lines) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    }
    return lines;
}

bool IsHexValueLine(std::string_view line) {
    size_t eq = line.find("=hex");
    return eq != std::string_view::npos && line.back() == '\\';
}

// Quoted text is only safe for a terminated text without line breaks or
// other control characters (tabs are fine).
bool FitsQuotedText(const Value& value) {
    if (value.type != kTypeSz || value.data.empty() || value.data.back() != '\0') return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(value.data[i]);
        if (c < 0x20 && c != '\t') return false;
    }
    return true;
}

void FormatHex(std::string& out, std::string line, const std::string& data) {
    char digits[4];
    for (size_t i = 0; i < data.size(); ++i) {
        bool last = i + 1 == data.size();
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(data[i]));
        line += digits;
        if (!last) line += ',';
        if (!last && line.size() >= kHexLineWidth) {
            out += line + "\\\n";
            line = "  ";
        }
    }
    out += line + "\n";
}

void FormatValue(std::string& out, const Value& value) {
    std::string line = value.name.empty() ? "@=" : Quote(value.name) + "=";
    if (FitsQuotedText(value)) {
        out += line + Quote(std::string_view(value.data).substr(0, value.data.size() - 1)) + "\n";
        return;
    }
    if (value.type == kTypeDword && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        out += line + text + "\n";
        return;
    }
    if (value.type == kTypeBinary) {
        FormatHex(out, line + "hex:", value.data);
        return;
    }
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    FormatHex(out, line + prefix, value.data);
}

void FormatKey(std::string& out, const std::string& path, const Key& key, bool isRoot) {
    if (!isRoot || !key.values.empty()) {
        out += "[" + path + "]\n";
        for (const Value& value : key.values) FormatValue(out, value);
        out += "\n";
    }
    for (const auto& [lower, subkey] : key.subkeys) {
        FormatKey(out, path + "\\" + subkey->name, *subkey, false);
    }
}

}  // namespace

Value* Key::FindValue(std::string_view valueName) {
    for (Value& value : values) {
        if (SameName(value.name, valueName)) return &value;
    }
    return nullptr;
}

const Value* Key::FindValue(std::string_view valueName) const {
    return const_cast<Key*>(this)->FindValue(valueName);
}

void Key::SetValue(std::string_view valueName, DWORD type, std::string data) {
    if (Value* existing = FindValue(valueName)) {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values.push_back(Value{std::string(valueName), type, std::move(data)});
}

bool Key::RemoveValue(std::string_view valueName) {
    Value* value = FindValue(valueName);
    if (value == nullptr) return false;
    values.erase(values.begin() + (value - values.data()));
    return true;
}

Key* Key::FindSubkey(std::string_view subkeyName) {
    auto it = subkeys.find(Lower(subkeyName));
    return it == subkeys.end() ? nullptr : it->second.get();
}

Key* Key::AddSubkey(std::string_view subkeyName) {
    std::unique_ptr<Key>& slot = subkeys[Lower(subkeyName)];
    if (!slot) {
        slot = std::make_unique<Key>();
        slot->name = std::string(subkeyName);
    }
    return slot.get();
}

bool Key::operator==(const Key& other) const {
    if (name != other.name || subkeys.size() != other.subkeys.size()) return false;
    if (values.size() != other.values.size()) return false;
    for (size_t i = 0; i < values.size(); ++i) {
        const Value& a = values[i];
        const Value& b = other.values[i];
        if (a.name != b.name || a.type != b.type || a.data != b.data) return false;
    }
    auto it = other.subkeys.begin();
    for (const auto& [lower, subkey] : subkeys) {
        if (lower != it->first || !(*subkey == *it->second)) return false;
        ++it;
    }
    return true;
}

void Store::Clear() {
    for (Key& root : roots) {
        root.values.clear();
        root.subkeys.clear();
    }
}

bool Store::operator==(const Store& other) const {
    for (int r = 0; r < kRootCount; ++r) {
        if (!(roots[r] == other.roots[r])) return false;
    }
    return true;
}

const char* RootName(Root root) {
    return root == kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerChar(c);
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    }
    return true;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::string_view part : Split(path, '\\')) {
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

bool Parse(std::string_view text, Store& store, int* badLine) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string_view> lines = Lines(text);
    ParseState state{store};
    bool whole = true;
    bool sawHeader = false;
    auto fail = [&](size_t index) {
        if (whole && badLine != nullptr) *badLine = static_cast<int>(index + 1);
        whole = false;
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t first = i;
        std::string line(TrimBlanks(lines[i]));
        while (!line.empty() && IsHexValueLine(line) && i + 1 < lines.size()) {
            line.pop_back();
            line += TrimBlanks(lines[++i]);
        }
        if (line.empty() || line.front() == ';') continue;
        if (!sawHeader) {
            sawHeader = true;
            if (line != "REGEDIT4") fail(first);
            continue;
        }
        bool ok = line.front() == '[' ? ParseSection(line, state)
                  : (line.front() == '"' || line.front() == '@') ? ParseValueLine(line, state)
                                                                 : false;
        if (!ok) fail(first);
    }
    return whole;
}

std::string Format(const Store& store) {
    std::string out = "REGEDIT4\n\n";
    for (int r = 0; r < kRootCount; ++r) {
        FormatKey(out, RootName(static_cast<Root>(r)), store.roots[r], true);
    }
    return out;
}

}  // namespace regtext

#include "lines/modem/modem_reports.h"

#include <cctype>
#include <cstring>

namespace modemline {

namespace {

constexpr BYTE kDleByte = 0x10;
constexpr size_t kMaxLine = 256;

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) begin++;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) end--;
    return text.substr(begin, end - begin);
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void SetPartyField(const std::string& value, std::optional<std::string>& field, bool& isPrivate,
                   bool& outOfArea) {
    const std::string mark = Upper(value);
    isPrivate = mark == "P";
    outOfArea = mark == "O";
    if (isPrivate || outOfArea)
        field.reset();
    else
        field = value;
}

std::optional<std::string> HexBytes(const std::string& hex) {
    std::string bytes;
    int high = -1;
    for (char c : hex) {
        if (c == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

// A withheld party: 'P' private, 'O' unavailable.
void SetAbsence(const std::string& reason, bool& isPrivate, bool& outOfArea) {
    isPrivate = reason == "P";
    outOfArea = reason == "O";
}

}  // namespace

bool DecodeCallerIdMessage(const std::string& hex, CallerIdFields& fields) {
    const std::optional<std::string> bytes = HexBytes(hex);
    // Type, length, the parameters and a checksum that makes the sum 0.
    if (!bytes || bytes->size() < 3) return false;
    const auto type = static_cast<unsigned char>((*bytes)[0]);
    const size_t length = static_cast<unsigned char>((*bytes)[1]);
    if (length + 3 != bytes->size()) return false;
    unsigned sum = 0;
    for (char b : *bytes) sum += static_cast<unsigned char>(b);
    if ((sum & 0xFF) != 0) return false;
    const std::string body = bytes->substr(2, length);
    if (type == 0x04) {  // single data message: date and time, then the number
        if (body.size() < 8) return false;
        const std::string number = body.substr(8);
        SetPartyField(number, fields.number, fields.numberPrivate, fields.numberOutOfArea);
        return true;
    }
    if (type != 0x80) return false;  // multiple data message: parameters
    for (size_t at = 0; at + 2 <= body.size();) {
        const auto parameter = static_cast<unsigned char>(body[at]);
        const size_t size = static_cast<unsigned char>(body[at + 1]);
        if (at + 2 + size > body.size()) return false;
        const std::string value = body.substr(at + 2, size);
        if (parameter == 0x02) SetPartyField(value, fields.number, fields.numberPrivate, fields.numberOutOfArea);
        else if (parameter == 0x04) SetAbsence(value, fields.numberPrivate, fields.numberOutOfArea);
        else if (parameter == 0x07) SetPartyField(value, fields.name, fields.namePrivate, fields.nameOutOfArea);
        else if (parameter == 0x08) SetAbsence(value, fields.namePrivate, fields.nameOutOfArea);
        at += 2 + size;
    }
    return true;
}

void ReportSplitter::Feed(const BYTE* in, size_t length, std::vector<ModemReport>& out) {
    for (size_t i = 0; i < length; i++) {
        const BYTE b = in[i];
        if (m_pendingDle) {
            m_pendingDle = false;
            out.push_back(ModemReport{ModemReport::Kind::kCode, {}, static_cast<char>(b)});
        } else if (b == kDleByte) {
            m_pendingDle = true;
        } else if (b == '\r' || b == '\n') {
            if (!m_partial.empty()) out.push_back(ModemReport{ModemReport::Kind::kLine, m_partial, 0});
            m_partial.clear();
        } else if (b != 0 && m_partial.size() < kMaxLine) {
            // Beyond any report's length: noise on the line, not text.
            m_partial.push_back(static_cast<char>(b));
        }
    }
}

void ReportSplitter::Reset() {
    m_partial.clear();
    m_pendingDle = false;
}

ResultCode ClassifyLine(const std::string& line) {
    const std::string text = Upper(Trim(line));
    if (text == "OK") return ResultCode::kOk;
    if (text == "ERROR") return ResultCode::kError;
    if (text.rfind("CONNECT", 0) == 0) return ResultCode::kConnect;
    if (text == "VCON") return ResultCode::kVcon;
    if (text == "NO CARRIER") return ResultCode::kNoCarrier;
    if (text == "BUSY") return ResultCode::kBusy;
    if (text == "NO DIALTONE" || text == "NO DIAL TONE") return ResultCode::kNoDialTone;
    if (text == "RING") return ResultCode::kRing;
    return ResultCode::kNone;
}

bool ParseCallerIdLine(const std::string& line, CallerIdFields& fields) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    const std::string tag = Upper(Trim(line.substr(0, eq)));
    const std::string value = Trim(line.substr(eq + 1));
    if (tag == "DATE") {
        fields.date = value;
    } else if (tag == "TIME") {
        fields.time = value;
    } else if (tag == "NMBR" || tag == "DDN_NMBR") {
        SetPartyField(value, fields.number, fields.numberPrivate, fields.numberOutOfArea);
    } else if (tag == "NAME") {
        SetPartyField(value, fields.name, fields.namePrivate, fields.nameOutOfArea);
    } else if (tag == "MESG") {
        fields.message = value;
        // Unformatted caller ID: the whole message, in hex.
        DecodeCallerIdMessage(value, fields);
    } else {
        return false;
    }
    return true;
}

bool IsDtmfCode(char code) {
    return (code >= '0' && code <= '9') || code == '*' || code == '#' || (code >= 'A' && code <= 'D');
}

std::optional<char> DtmfCounter::OnCode(char code) {
    if (code == '/') {
        m_inBracket = true;
        m_reported = false;
        return std::nullopt;
    }
    if (code == '~') {
        m_inBracket = false;
        return std::nullopt;
    }
    if (!IsDtmfCode(code)) return std::nullopt;
    if (!m_inBracket) return code;
    if (m_reported) return std::nullopt;
    m_reported = true;
    return code;
}

void DtmfCounter::Reset() {
    m_inBracket = false;
    m_reported = false;
}

const char* HangUpReason(char code) {
    switch (code) {
        case 'l':
            return "loop current dropped";
        case 'b':
            return "busy tone";
        case 'd':
            return "dial tone";
        case 's':
            return "silence";
        case 'q':
            return "silence after voice";
        default:
            return nullptr;
    }
}

bool IsHangUpCode(char code) { return HangUpReason(code) != nullptr; }

}  // namespace modemline

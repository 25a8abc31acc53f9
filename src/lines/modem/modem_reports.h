// What a voice modem reports in command state, as pure state and byte
// functions (no I/O): text lines (result codes, RING, caller-ID lines) mixed
// with DLE event codes, touch tones counted once per press, caller-ID fields,
// and which reports mean the caller has hung up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace modemline {

struct ModemReport {
    enum class Kind { kLine, kCode };
    Kind kind;
    std::string line;  // kLine: the text without CR/LF
    char code = 0;     // kCode: the code after DLE
};

// Splits command-state bytes into lines and DLE codes. Empty lines are
// dropped; a line or a DLE pair split across reads is joined.
class ReportSplitter {
public:
    void Feed(const BYTE* in, size_t length, std::vector<ModemReport>& out);
    void Reset();
    // The text received since the last line end (an echoed prompt, say).
    const std::string& Partial() const { return m_partial; }

private:
    std::string m_partial;
    bool m_pendingDle = false;
};

enum class ResultCode { kNone, kOk, kError, kConnect, kVcon, kNoCarrier, kBusy, kNoDialTone, kRing };
ResultCode ClassifyLine(const std::string& line);

// Caller ID as the modem formats it ("NMBR = 5551234", "NAME=..."). P means
// the caller withheld it, O that it is unavailable (out of area).
struct CallerIdFields {
    std::string date;
    std::string time;
    std::optional<std::string> number;
    std::optional<std::string> name;
    std::optional<std::string> message;
    bool numberPrivate = false;
    bool numberOutOfArea = false;
    bool namePrivate = false;
    bool nameOutOfArea = false;
};
// True when the line is a caller-ID line; its field goes into fields.
// Unformatted caller ID ("MESG = 80 1A 01 08 ..."), the message the line sent
// in hex, is decoded too.
bool ParseCallerIdLine(const std::string& line, CallerIdFields& fields);
// The number and name of a caller-ID message in hex (single or multiple
// data message format); false when it is not one or its checksum is wrong.
bool DecodeCallerIdMessage(const std::string& hex, CallerIdFields& fields);

// Touch tones: some modems bracket a press (DLE / digit DLE ~), some repeat
// the digit inside the bracket while the key is held, some send one bare
// code per press. Each press is reported once.
class DtmfCounter {
public:
    // The digit to report for this code, if it starts a new press.
    std::optional<char> OnCode(char code);
    void Reset();

private:
    bool m_inBracket = false;
    bool m_reported = false;
};
bool IsDtmfCode(char code);

// DLE codes that mean the caller is gone: loop-current drop (l), busy tone
// (b), dial tone (d), silence before or after voice (s, q).
bool IsHangUpCode(char code);
// The code's meaning for the trace ("busy tone"), or null for others.
const char* HangUpReason(char code);

}  // namespace modemline

// What a line tells of its caller comes from whoever placed the call, and
// ends up in windows, on a terminal, in the trace, the call log and e-mail.
// Every line service reports it through this one filter: printable text
// only (no escape sequences, CR, LF or NUL) and bounded, as a telephone
// network's caller ID is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lines {

constexpr size_t kMaxCallerText = 128;  // bytes

// The text without control characters (C0, DEL, C1), in UTF-8: a byte that
// begins no well-formed UTF-8 character is taken as Latin-1. Cut to
// kMaxCallerText bytes at the end of a character.
std::string CallerText(std::string_view raw);

}  // namespace lines

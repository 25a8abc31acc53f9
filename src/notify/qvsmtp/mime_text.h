// Text coding for mail: addresses, UTF-8 clean-up, header lines with
// encoded words, quoted-printable and base64.
#pragma once

#include <string>
#include <string_view>

namespace qvsmtp::mime {

// A plain "local@domain" address of printable ASCII without blanks, angle
// brackets or line breaks, as SMTP and a header line can carry it.
bool IsValidAddress(std::string_view address);
// The part after '@' of a valid address.
std::string_view AddressDomain(std::string_view address);

// Valid UTF-8: every byte that does not begin a well-formed sequence becomes
// U+FFFD.
std::string ToValidUtf8(std::string_view text);
// Text with every control character (below 0x20, and 0x7F) removed.
std::string WithoutControls(std::string_view text);

// "Name: value" ending in CRLF, folded below 78 characters where it has
// blanks. Control characters are dropped first; text that is not printable
// ASCII, or that could not be folded, goes as RFC 2047 encoded words.
std::string HeaderLine(std::string_view name, std::string_view text);
// "Name: a, b, c" ending in CRLF, folded after commas; addresses are valid.
std::string AddressListLine(std::string_view name, const std::string* addresses, size_t count);

// Line ends of any kind become CRLF.
std::string WithCrlf(std::string_view text);
// Lines of at most 76 characters, each ending in CRLF.
std::string Base64Lines(std::string_view data);
std::string Base64(std::string_view data);
// Quoted-printable of text whose line ends are CRLF.
std::string QuotedPrintable(std::string_view text);
// True when every byte is printable ASCII, a tab or part of a CRLF, and no
// line is longer than 76 characters: such text can go as it is.
bool IsPlain7Bit(std::string_view crlfText);

}  // namespace qvsmtp::mime

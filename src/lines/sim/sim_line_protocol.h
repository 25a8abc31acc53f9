// The text protocol between the simulated line's remote party (served inside
// Vocerra, sim_line_remote.h) and the tools that place calls on it.
//
// Where: RemoteSocketPath(), "sim-line.sock" in the folder named by
// VOCERRA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vocerra, else /tmp/vocerra-<uid>.
//
// Requests are lines of at most kMaxRequestLine bytes ending in LF (a CR
// before it is ignored): a verb, then words separated by spaces.
// Free text (caller number and name, file paths) is percent-encoded: '%',
// bytes below 0x21 or above 0x7E and '=' are written %XX. Every request gets
// exactly one reply line, "OK ..." or "ERR <reason>"; only the reply to AUDIO
// is followed by a body. A bad request is answered with ERR and the
// connection stays usable; a line that is too long is answered with ERR and
// skipped up to its LF. A connection that is refused (another user's, or
// one too many) gets one ERR line before the server closes it.
//
//   HELLO                      OK vocerra-sim-line <version> scale=<time scale>
//   CALL [line=N] [from=TEXT] [name=TEXT] [flags=N] [late]
//                              OK <call id>. Offers an inbound call; with
//                              "late" the caller ID is unknown until CALLERID.
//                              One call per connection.
//   CALLERID [from=TEXT] [name=TEXT] [flags=N]
//                              OK. The caller ID arrives after the offering.
//   LINE [line=N]              OK open=<opens now> openings=<opens so far>.
//                              How Vocerra holds the line; no call needed.
//   RING                       OK <rings so far>. One ring now.
//   RINGING <period ms>        OK. A ring every period (scaled time) until
//                              the call is answered or gone.
//   STOPRINGING                OK
//   DIGITS <0-9 * # A-D ...>   OK. Touch tones, in order; only while connected.
//   SEND SILENCE               OK. What the caller sends from now on.
//   SEND FILE <path>           OK <samples>. A WAVE file in a telephone
//                              format (8 kHz mono, 16-bit, 8-bit, A-law or
//                              mu-law, at most an hour), then silence.
//   SEND TONE <f1> <f2> <on ms> <off ms> [amplitude]
//                              OK. f2 0 for a single tone, off 0 continuous.
//   RECORD [path]              OK. Also writes what the line plays into a
//                              WAVE file from now on; no path ends that.
//   STATUS                     OK state=<offering|accepted|connected|
//                              disconnected|idle|other> rings=<n> answered=<0|1>
//                              dropped=<0|1> captured=<samples> sent=<samples>
//                              left=<samples of the file still to send>
//   AUDIO <from> [max]         OK <n>, then n samples of what the line played,
//                              from sample <from> on: 16-bit little-endian
//                              linear at 8000 per second (at most kMaxAudioReply).
//   HANGUP                     OK. The caller hangs up.
//   BYE                        OK, and the server closes the connection.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simline {

constexpr int kRemoteProtocolVersion = 1;
constexpr size_t kMaxRequestLine = 1024;
constexpr size_t kMaxTextField = 256;   // decoded caller number, name
constexpr size_t kMaxAudioReply = 8000 * 30;

// The folder of the socket (not created here) and the socket's path.
std::string RemoteSocketFolder();
std::string RemoteSocketPath();

std::string PercentEncode(std::string_view text);
// nullopt when an escape is malformed.
std::optional<std::string> PercentDecode(std::string_view text);

// A request split into its verb and words; key=value words are found with
// Value. Flags without '=' (like "late") are found with Has.
struct Request {
    std::string verb;
    std::vector<std::string> words;

    bool Has(std::string_view word) const;
    // The decoded value of key=...; nullopt when absent; sets *bad when
    // present but malformed.
    std::optional<std::string> Value(std::string_view key, bool* bad) const;
};

// nullopt for an empty line or one with a byte below 0x20 in it.
std::optional<Request> ParseRequest(std::string_view line);

// A whole non-negative decimal number that fits in `limit`; nullopt else.
std::optional<unsigned long> ParseNumber(std::string_view text, unsigned long limit);

}  // namespace simline

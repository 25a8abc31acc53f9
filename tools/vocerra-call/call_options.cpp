#include "call_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace callclient {

namespace {

bool ValidDigits(const std::string& digits) {
    if (digits.empty() || digits.size() > 64) return false;
    for (char c : digits)
        if (std::strchr("0123456789*#ABCD,", c) == nullptr) return false;
    return true;
}

// A number written plainly (no sign, exponent, hex or trailing text).
std::optional<double> PlainNumber(const std::string& text, bool whole) {
    if (text.empty() || text.size() > 12) return std::nullopt;
    int dots = 0;
    for (char c : text) {
        if (c == '.' && !whole) {
            dots++;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
    }
    if (dots > 1 || text == ".") return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

// Stores one option's value; false with the reason when it is malformed.
bool Store(CallOptions& o, const std::string& name, const std::string& value, std::string* error) {
    if (name == "--from") o.from = value;
    else if (name == "--name") o.name = value;
    else if (name == "--say") o.say = value;
    else if (name == "--play") o.play = value;
    else if (name == "--record-to") o.recordTo = value;
    else if (name == "--digits") {
        if (!ValidDigits(value)) {
            *error = "--digits takes up to 64 of 0-9 * # A-D and ',', not '" + value + "'";
            return false;
        }
        o.digits = value;
    } else if (name == "--rings") {
        auto n = PlainNumber(value, true);
        if (!n || *n < 1 || *n > kMaxRings) {
            *error = "--rings takes a whole number from 1 to " + std::to_string(kMaxRings) + ", not '" + value + "'";
            return false;
        }
        o.rings = static_cast<unsigned>(*n);
    } else if (name == "--hang-up-after") {
        auto s = PlainNumber(value, false);
        if (!s || *s <= 0 || *s > kMaxHangUpAfter) {
            *error = "--hang-up-after takes seconds, more than 0 and at most 3600, not '" + value + "'";
            return false;
        }
        o.hangUpAfter = *s;
    }
    if ((name == "--from" || name == "--name" || name == "--say" || name == "--play" ||
         name == "--record-to") && value.empty()) {
        *error = name + " needs a value that is not empty";
        return false;
    }
    return true;
}

bool TakesValue(const std::string& name) {
    static const char* const kNames[] = {"--from", "--name", "--say", "--play", "--digits",
                                         "--rings", "--hang-up-after", "--record-to"};
    for (const char* n : kNames)
        if (name == n) return true;
    return false;
}

}  // namespace

std::optional<CallOptions> ParseCallOptions(const std::vector<std::string>& args, std::string* error) {
    CallOptions o;
    for (size_t i = 0; i < args.size(); i++) {
        std::string name = args[i];
        std::optional<std::string> value;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if ((name == "--help" || name == "-h") && !value) {
            o.help = true;
            continue;
        }
        if (name == "--late-caller-id" && !value) {
            o.lateCallerId = true;
            continue;
        }
        if (!TakesValue(name)) {
            *error = name.rfind("-", 0) == 0 ? "unknown option '" + name + "'" : "unexpected argument '" + name + "'";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                *error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!Store(o, name, *value, error)) return std::nullopt;
    }
    if (o.say && o.play) {
        *error = "--say and --play cannot be used together";
        return std::nullopt;
    }
    return o;
}

const char* CallUsage() {
    return "Usage: vocerra-call [OPTION]...\n"
           "Places a call on the simulated line of the Vocerra running for this user,\n"
           "and prints what happened.\n"
           "\n"
           "  --from NUMBER          the caller's number (caller ID)\n"
           "  --name NAME            the caller's name (caller ID)\n"
           "  --say TEXT             after the beep, say TEXT (spoken by espeak-ng)\n"
           "  --play FILE.wav        after the beep, play a WAVE file\n"
           "  --digits DIGITS        press touch tones once answered (0-9 * # A-D):\n"
           "                         the first group during the greeting, each group\n"
           "                         after a # or , once the line has gone quiet\n"
           "                         (a prompt ended); a leading , waits for the\n"
           "                         greeting to end\n"
           "  --late-caller-id       send the caller ID after the first ring\n"
           "  --rings N              hang up unanswered after N rings (default 20)\n"
           "  --hang-up-after SECS   hang up SECS seconds after the answer\n"
           "  --record-to FILE.wav   write everything the line plays into FILE.wav\n"
           "  --help                 show this help\n"
           "\n"
           "Without --hang-up-after the caller hangs up once the message was sent,\n"
           "or waits for Vocerra to hang up. The socket is found in\n"
           "$VOCERRA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vocerra, else /tmp/vocerra-UID.\n"
           "Exit status: 0 when the call was placed, 1 when it could not be,\n"
           "2 for a malformed command line.\n";
}

}  // namespace callclient

#include "lines/sip/caller_identity.h"

#include <cctype>

#include "platform/tapi/tapi_constants.h"

namespace sipline {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexValue(text[i + 1]);
            int lo = HexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string Unquote(std::string_view name) {
    name = Trim(name);
    if (name.size() < 2 || name.front() != '"' || name.back() != '"') return std::string(name);
    std::string out;
    for (size_t i = 1; i + 1 < name.size(); i++) {
        if (name[i] == '\\' && i + 2 < name.size()) i++;
        out.push_back(name[i]);
    }
    return out;
}

// Privacy: id / header / user hide the caller; none and session do not.
bool AsksPrivacy(std::string_view privacy) {
    std::string value = Lower(privacy);
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = value.find_first_of(";,", start);
        if (end == std::string::npos) end = value.size();
        std::string_view token = Trim(std::string_view(value).substr(start, end - start));
        if (token == "id" || token == "header" || token == "user") return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::string UriUser(std::string_view uri) {
    uri = Trim(uri);
    if (!uri.empty() && uri.front() == '<') uri.remove_prefix(1);
    const std::string lower = Lower(uri.substr(0, 5));
    if (lower.rfind("tel:", 0) == 0) {
        std::string_view number = uri.substr(4);
        return Unescape(number.substr(0, number.find_first_of(";>")));
    }
    size_t colon = uri.find(':');
    if (colon == std::string_view::npos) return {};
    std::string_view rest = uri.substr(colon + 1);
    size_t at = rest.find('@');
    if (at == std::string_view::npos || rest.substr(0, at).find_first_of(";>") != std::string_view::npos)
        return {};
    std::string_view user = rest.substr(0, at);
    return Unescape(user.substr(0, user.find(':')));  // drops a password
}

CallerIdentity IdentifyCaller(const SipParty& from, const SipParty& asserted, std::string_view privacy) {
    const SipParty& party = asserted.uri.empty() ? from : asserted;
    const std::string user = UriUser(party.uri);
    const std::string name = Unquote(party.displayName);
    CallerIdentity id;
    if (AsksPrivacy(privacy) || Lower(user) == "anonymous" || Lower(name) == "anonymous") {
        id.flags = LINECALLPARTYID_BLOCKED;
        return id;
    }
    // Control characters and length are the line base's to mend, as for
    // every line.
    if (!user.empty()) id.number = user;
    if (!name.empty()) id.name = name;
    return id;
}

}  // namespace sipline

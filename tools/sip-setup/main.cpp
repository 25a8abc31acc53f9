// vocerra-sip-setup: sets the SIP line's account, registrar and listening
// address in the registry file, where the line reads them at start, and
// prints them with the registration state of the running program. The
// password is read from standard input, never from the command line, where
// other users could see it.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "lines/sip/registration_status.h"
#include "lines/sip/sip_settings.h"
#include "platform/win32/registry.h"

namespace {

const char kUsage[] =
    "usage: vocerra-sip-setup [options]\n"
    "  --account NAME          user name at the SIP provider\n"
    "  --server HOST[:PORT]    registrar; \"\" for none (calls straight to this machine)\n"
    "  --password-stdin        read the password from the first line of standard input\n"
    "  --no-password           remove the password\n"
    "  --display NAME          display name sent when registering\n"
    "  --listen ADDRESS        address to receive SIP and RTP on (default 0.0.0.0)\n"
    "  --port N                SIP port (default 5060)\n"
    "  --rtp-ports MIN-MAX     RTP port range (default 10000-20000)\n"
    "  --expires SECONDS       registration time asked for (default 600)\n"
    "  --keep-alive SECONDS    keep-alive interval while registered, 0 for none (default 20)\n"
    "  --show                  only print the settings (the password as \"(set)\") and\n"
    "                          the registration state of the running Vocerra\n";

bool ToNumber(const std::string& text, std::uint32_t max, std::uint32_t* value) {
    char* end = nullptr;
    unsigned long n = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n > max) return false;
    *value = static_cast<std::uint32_t>(n);
    return true;
}

bool ParseRange(const std::string& text, sipline::SipSettings* s) {
    const size_t dash = text.find('-');
    return dash != std::string::npos && ToNumber(text.substr(0, dash), 65535, &s->rtpPortMin) &&
           ToNumber(text.substr(dash + 1), 65535, &s->rtpPortMax) && s->rtpPortMin > 0 &&
           s->rtpPortMin <= s->rtpPortMax;
}

// One option with its value; false when it is unknown or its value is bad.
bool Apply(const std::string& option, const std::string& value, sipline::SipSettings* s) {
    if (option == "--account") s->account = value;
    else if (option == "--server") s->server = value;
    else if (option == "--display") s->displayName = value;
    else if (option == "--listen") s->listenAddress = value;
    else if (option == "--port") return ToNumber(value, 65535, &s->listenPort) && s->listenPort > 0;
    else if (option == "--rtp-ports") return ParseRange(value, s);
    else if (option == "--expires") return ToNumber(value, 86400, &s->registerExpires) && s->registerExpires >= 60;
    else if (option == "--keep-alive") return ToNumber(value, 3600, &s->keepAliveSeconds);
    else return false;
    return true;
}

// What the running Vocerra last heard from the registrar.
std::string RegistrationText(const sipline::SipSettings& settings) {
    if (!settings.Registers()) return "Registration: none (no server: calls come straight to this address)\n";
    const std::optional<sipline::RegistrationReport> report = sipline::ReadRegistrationFile();
    if (!report) return "Registration: unknown (Vocerra is not running)\n";
    return report->text;
}

}  // namespace

int main(int argc, char** argv) {
    sipline::SipSettings settings;
    sipline::LoadSipSettings(&settings);  // a first set-up starts from the defaults
    bool show = false;
    bool change = false;
    for (int i = 1; i < argc; i++) {
        const std::string option = argv[i];
        if (option == "--show") {
            show = true;
        } else if (option == "--password-stdin") {
            std::string line;
            std::getline(std::cin, line);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            settings.password = line;
            change = true;
        } else if (option == "--no-password") {
            settings.password.clear();
            change = true;
        } else if (i + 1 < argc && Apply(option, argv[i + 1], &settings)) {
            i++;
            change = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (change && !show && !sipline::SaveSipSettings(settings)) {
        std::fprintf(stderr, "vocerra-sip-setup: cannot write %s\n", RegistryFilePath().c_str());
        return 1;
    }
    std::printf("%s%s", sipline::DescribeSipSettings(settings).c_str(), RegistrationText(settings).c_str());
    return 0;
}

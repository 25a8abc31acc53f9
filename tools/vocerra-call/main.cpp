// vocerra-call: places a call on the simulated line of a running Vocerra.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "call_options.h"
#include "call_script.h"
#include "line_client.h"
#include "message_audio.h"
#include "lines/sim/sim_line_protocol.h"

namespace {

int Error(const std::string& message) {
    std::fprintf(stderr, "vocerra-call: %s\n", message.c_str());
    return 1;
}

// Checked before calling, without leaving a file behind: Vocerra writes it.
bool CanWrite(const std::string& path, std::string* error) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const bool ok = access(path.c_str(), F_OK) == 0 ? access(path.c_str(), W_OK) == 0
                                                    : access(folder.c_str(), W_OK | X_OK) == 0;
    if (!ok) *error = "cannot write " + path + ": " + std::strerror(errno);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace callclient;
    std::string error;
    auto options = ParseCallOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::fprintf(stderr, "vocerra-call: %s\nTry 'vocerra-call --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(CallUsage(), stdout);
        return 0;
    }
    MessageAudio message;
    if (options->say && !message.FromText(*options->say, &error)) return Error(error);
    if (options->play && !message.FromFile(*options->play, &error)) return Error(error);
    if (options->recordTo && !CanWrite(*options->recordTo, &error)) return Error(error);
    LineClient line;
    if (!line.Connect(simline::RemoteSocketPath(), &error)) return Error(error);
    CallScript script(*options, line, message.Path(), std::cout);
    return script.Run();
}

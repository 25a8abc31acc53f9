#include "message_audio.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/winmm/wave_file_io.h"

extern char** environ;

namespace callclient {

namespace {

// Runs a program found on PATH with its output discarded; its exit status,
// or -1 when it could not be started.
int RunQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsNarrowband(const WAVEFORMATEX& f) {
    return f.nChannels == 1 && f.nSamplesPerSec == 8000 &&
           (f.wFormatTag == WAVE_FORMAT_MULAW || f.wFormatTag == WAVE_FORMAT_ALAW ||
            (f.wFormatTag == WAVE_FORMAT_PCM && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16)));
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

MessageAudio::~MessageAudio() {
    if (m_tempFolder.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_tempFolder, ec);
}

bool MessageAudio::MakeTempFolder(std::string* error) {
    if (!m_tempFolder.empty()) return true;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vocerra-call-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        *error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
        return false;
    }
    m_tempFolder = pattern;
    return true;
}

bool MessageAudio::Convert(const std::string& from, std::string* error) {
    const std::string to = m_tempFolder + "/message.wav";
    const int rc = RunQuietly({"sox", from, "-r", "8000", "-c", "1", "-b", "16", "-e", "signed-integer", to});
    if (rc != 0) {
        *error = rc < 0 ? "sox is needed to convert the audio (scripts/deps.sh installs it)"
                        : "sox could not convert " + from;
        return false;
    }
    m_path = to;
    return true;
}

bool MessageAudio::FromText(const std::string& text, std::string* error) {
    if (!MakeTempFolder(error)) return false;
    // The text goes through a file, so no word of it is taken for an option.
    const std::string textFile = m_tempFolder + "/message.txt";
    const std::string speech = m_tempFolder + "/speech.wav";
    std::ofstream(textFile) << text << "\n";
    const int rc = RunQuietly({"espeak-ng", "-w", speech, "-f", textFile});
    if (rc != 0) {
        *error = rc < 0 ? "--say needs espeak-ng (scripts/deps.sh installs it)"
                        : "espeak-ng could not speak the text";
        return false;
    }
    return Convert(speech, error);
}

bool MessageAudio::FromFile(const std::string& path, std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    if (std::filesystem::is_directory(path)) {
        *error = "cannot read " + path + ": it is a folder";
        return false;
    }
    WAVEFORMATEX format{};
    std::string data;
    if (!winmm::ReadWaveFile(path, &format, &data)) {
        *error = path + " is not a WAVE file";
        return false;
    }
    if (IsNarrowband(format)) {
        m_path = AbsolutePath(path);
        return true;
    }
    return MakeTempFolder(error) && Convert(AbsolutePath(path), error);
}

}  // namespace callclient

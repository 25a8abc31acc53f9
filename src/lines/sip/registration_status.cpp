#include "lines/sip/registration_status.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "lines/base/runtime_folder.h"

namespace sipline {

namespace {

constexpr std::size_t kMaxFileBytes = 4096;

std::string StateText(const RegistrationStatus& status) {
    switch (status.state) {
    case RegistrationStatus::State::kOff: return "off";
    case RegistrationStatus::State::kRegistering: return "registering";
    case RegistrationStatus::State::kRegistered: return "registered";
    case RegistrationStatus::State::kFailed: break;
    }
    std::string text = status.lastStatus != 0 ? "refused" : "no answer";
    if (status.nextRetryMs == 0) return text + " (trying again now)";
    // A clock time stays true in the file, where "in 30 s" would not.
    const std::time_t next = std::time(nullptr) + static_cast<std::time_t>((status.nextRetryMs + 999) / 1000);
    std::tm local{};
    localtime_r(&next, &local);
    char at[16];
    std::strftime(at, sizeof at, "%H:%M:%S", &local);
    return text + " (next try at " + at + ")";
}

std::string AnswerText(const RegistrationStatus& status) {
    if (status.lastStatus != 0) return std::to_string(status.lastStatus) + " " + status.lastReason;
    if (status.lastError != 0) return std::string("none (") + std::strerror(status.lastError) + ")";
    return "none yet";
}

bool ProcessRuns(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// The first line of text, taken off it.
std::string TakeLine(std::string* text) {
    const std::size_t end = text->find('\n');
    std::string line = text->substr(0, end);
    text->erase(0, end == std::string::npos ? text->size() : end + 1);
    return line;
}

}  // namespace

std::string DescribeRegistration(const RegistrationStatus& status) {
    return "Registration: " + StateText(status) + "\nLast answer: " + AnswerText(status) + "\n";
}

std::string RegistrationFilePath() { return lines::RuntimeFolder() + "/sip-registration"; }

bool WriteRegistrationFile(const RegistrationReport& report) {
    std::string error;
    if (!lines::PreparePrivateFolder(lines::RuntimeFolder(), &error)) return false;
    const std::string path = RegistrationFilePath();
    const std::string temporary = path + ".new";
    const std::string body = "pid " + std::to_string(::getpid()) + "\nline " + report.line + "\n" + report.text;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = ::write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size());
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void RemoveRegistrationFile() { ::unlink(RegistrationFilePath().c_str()); }

std::optional<RegistrationReport> ReadRegistrationFile() {
    const int fd = ::open(RegistrationFilePath().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text(kMaxFileBytes, '\0');
    const ssize_t n = ::read(fd, text.data(), text.size());
    ::close(fd);
    if (n <= 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(n));
    const std::string pid = TakeLine(&text);
    const std::string line = TakeLine(&text);
    if (pid.rfind("pid ", 0) != 0 || line.rfind("line ", 0) != 0 || !ProcessRuns(std::atol(pid.c_str() + 4)))
        return std::nullopt;
    return RegistrationReport{line.substr(5), text};
}

}  // namespace sipline

#include "smtp_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/win32/clock.h"
#include "support/helper_process.h"

extern char** environ;

namespace notifytest {

namespace {

// Real milliseconds the server may take to make its certificates and start.
constexpr int kStartBoundMs = 60000;

std::string ReadText(const std::string& path) { return testsupport::ReadFileBytes(path); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

ReceivedMail ReadMail(const std::filesystem::path& folder) {
    const auto file = [&](const char* name) { return ReadText((folder / name).string()); };
    ReceivedMail mail;
    mail.mailFrom = file("mail_from");
    mail.rcptTos = Lines(file("rcpt_tos"));
    mail.login = file("login");
    mail.tls = file("tls") == "yes";
    mail.connection = std::atoi(file("connection").c_str());
    for (const std::string& line : Lines(file("headers"))) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) mail.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2));
        else mail.headers.emplace_back(line, "");
    }
    mail.body = file("body");
    mail.raw = file("raw");
    for (int i = 0; testsupport::FileExists((folder / ("attachment" + std::to_string(i))).string()); ++i) {
        const std::string base = "attachment" + std::to_string(i);
        mail.attachments.push_back({file((base + ".name").c_str()), file((base + ".type").c_str()),
                                    file(base.c_str())});
    }
    return mail;
}

}  // namespace

std::string ReceivedMail::Header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    return {};
}

int ReceivedMail::HeaderCount(const std::string& name) const {
    return static_cast<int>(std::count_if(headers.begin(), headers.end(), [&](const auto& header) {
        return strcasecmp(header.first.c_str(), name.c_str()) == 0;
    }));
}

SmtpTestServer::SmtpTestServer() { Start(); }

void SmtpTestServer::Start() {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
        m_error = "pipe";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    // The script lies beside this file. __FILE__ is relative when the
    // compiler cache rewrites paths, and ctest runs elsewhere; the test data
    // folder is always absolute.
    const std::string script =
        (std::filesystem::path(VOCERRA_TEST_DATA).parent_path() / "notify" / "smtp_server.py").string();
    const char* argv[] = {"/usr/bin/python3", script.c_str(), m_dir.path().c_str(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    if (rc != 0) {
        close(out[0]);
        m_error = "cannot start /usr/bin/python3";
        return;
    }
    m_pid = pid;
    const std::string line = testsupport::ReadFirstLine(out[0], kStartBoundMs);
    close(out[0]);
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word != "READY") {
        m_error = "the mail server did not start: " + line;
        return;
    }
    while (words >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos) m_ports.emplace_back(word.substr(0, eq), std::atoi(word.c_str() + eq + 1));
    }
    m_ok = true;
}

SmtpTestServer::~SmtpTestServer() { testsupport::EndHelper(m_pid, m_stdin); }

int SmtpTestServer::port(const std::string& listener) const {
    for (const auto& [name, number] : m_ports)
        if (name == listener) return number;
    return 0;
}

std::vector<ReceivedMail> SmtpTestServer::Received() const {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path() + "/mail", error))
        if (entry.is_directory() && entry.path().extension() != ".part") folders.push_back(entry.path());
    std::sort(folders.begin(), folders.end());
    std::vector<ReceivedMail> mails;
    for (const auto& folder : folders) mails.push_back(ReadMail(folder));
    return mails;
}

int UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

FastTimeOuts::FastTimeOuts() : m_saved(platform::TimeScale()) { platform::SetTimeScale(30); }

FastTimeOuts::~FastTimeOuts() { platform::SetTimeScale(m_saved); }

}  // namespace notifytest

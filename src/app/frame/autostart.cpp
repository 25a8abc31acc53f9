#include "app/frame/autostart.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/win32/file_replace.h"
#include "platform/win32/files.h"
#include "store/program_folder.h"

namespace {

std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const struct passwd* pw = ::getpwuid(::getuid());
        home = (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/tmp";
    }
    return std::string(home) + "/.config";
}

std::string ProgramPath() {
    char path[4096];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path) return {};
    return std::string(path, n);
}

// The entry's key=value lines, the first of each key.
std::string ValueOf(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

}  // namespace

std::string VM_GetAutostartPath() {
    return ConfigFolder() + "/autostart/vocerra.desktop";
}

namespace {

// One argument of the Exec value; none for text it cannot carry.
std::optional<std::string> QuotedArgument(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        // Inside the quotes ", `, $ and \ take a backslash; a backslash is
        // then doubled once more by the file's own string escapes, and a
        // percent sign would be a field code.
        if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
        if (c == '\\') quoted += "\\\\\\";
        quoted += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return quoted + "\"";
}

// The folder $VOCERRA_HOME names, made absolute, as the program found it.
std::string ConfiguredProgramFolder() {
    const char* home = std::getenv("VOCERRA_HOME");
    if (home == nullptr || *home == '\0') return {};
    char resolved[PATH_MAX];
    return ::realpath(home, resolved) != nullptr ? std::string(resolved) : std::string(home);
}

}  // namespace

std::optional<std::string> VM_AutostartExecLine(const std::string& program, const std::string& programFolder) {
    if (program.empty() || program[0] != '/') return std::nullopt;
    const std::optional<std::string> quoted = QuotedArgument(program);
    if (!quoted || programFolder.empty()) return quoted;
    if (programFolder[0] != '/') return std::nullopt;
    const std::optional<std::string> setting = QuotedArgument("VOCERRA_HOME=" + programFolder);
    if (!setting) return std::nullopt;
    return "env " + *setting + " " + *quoted;
}

bool VM_SetAutostart(bool enable) {
    const std::string path = VM_GetAutostartPath();
    if (!enable) return std::remove(path.c_str()) == 0 || errno == ENOENT;
    // A copy started with its own program folder starts with it again.
    const std::optional<std::string> exec = VM_AutostartExecLine(ProgramPath(), ConfiguredProgramFolder());
    if (!exec) return false;
    if (!VM_MakeFolders(ConfigFolder() + "/autostart")) return false;
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Vocerra\n"
        "Comment=Answers the telephone and keeps the messages\n"
        "Exec=" + *exec + "\n"
        "Icon=vocerra\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    return platform::ReplaceFileContents(path.c_str(), entry.data(), entry.size(), 0644);
}

bool VM_IsAutostartEnabled() {
    std::ifstream in(VM_GetAutostartPath());
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    const std::string entry = text.str();
    return ValueOf(entry, "Hidden") != "true" && ValueOf(entry, "Exec").size() > 1;
}

#include "shell/command_line.h"

VM_SCommandLine VM_ParseCommandLine(const std::vector<std::string>& args) {
    VM_SCommandLine line;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            line.action = VM_SCommandLine::Action::kHelp;
            return line;
        }
        if (arg == "--version") {
            line.action = VM_SCommandLine::Action::kVersion;
            return line;
        }
        if (arg == "--headless") {
            line.action = VM_SCommandLine::Action::kRunHeadless;
            continue;
        }
        line.action = VM_SCommandLine::Action::kError;
        line.error = arg.rfind('-', 0) == 0 ? "unknown option '" + arg + "'" : "unexpected argument '" + arg + "'";
        return line;
    }
    return line;
}

std::string VM_UsageText(const std::string& program) {
    return "Usage: " + program + " [--headless]\n"
           "A desktop answering machine: answers calls on the chosen telephone line,\n"
           "plays a greeting, records messages and files them in the call log.\n"
           "\n"
           "  --headless  run without windows; one line per call is printed\n"
           "  --help      show this text and exit\n"
           "  --version   show the version and exit\n"
           "\n"
           "The program folder (settings, greetings, messages) is $VOCERRA_HOME when set,\n"
           "else the program's own folder, else $XDG_DATA_HOME/vocerra.\n"
           "SIGINT or SIGTERM stops it after the call in progress has ended;\n"
           "a second one ends that call at once.\n";
}

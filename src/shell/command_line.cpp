#include "shell/command_line.h"

VM_SCommandLine VM_ParseCommandLine(const std::vector<std::string>& args) {
    VM_SCommandLine line;
    // A command is the first word; the rest is its own.
    if (!args.empty() && (args[0] == "config" || args[0] == "messages")) {
        line.action = args[0] == "config" ? VM_SCommandLine::Action::kConfig : VM_SCommandLine::Action::kMessages;
        line.commandArgs.assign(args.begin() + 1, args.end());
        return line;
    }
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
           "       " + program + " config [get NAME | set NAME VALUE]\n"
           "       " + program + " messages [FOLDER]\n"
           "A desktop answering machine: answers calls on the chosen telephone line,\n"
           "plays a greeting, records messages and files them in the call log.\n"
           "\n"
           "  --headless  run without windows; one line per call is printed\n"
           "  --help      show this text and exit\n"
           "  --version   show the version and exit\n"
           "  config      list the settings with their values and ranges, show one,\n"
           "              or change one (a running Vocerra takes the change at once)\n"
           "  messages    list the calls of a message folder (default: Inbox)\n"
           "\n"
           "The program folder (settings, greetings, messages) is $VOCERRA_HOME when set,\n"
           "else the program's own folder when it already holds one (a portable copy),\n"
           "else $XDG_DATA_HOME/vocerra (by default ~/.local/share/vocerra).\n"
           "SIGINT or SIGTERM stops it after the call in progress has ended;\n"
           "a second one ends that call at once.\n";
}

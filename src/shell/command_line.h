// The program's options.
#pragma once

#include <string>
#include <vector>

struct VM_SCommandLine {
    enum class Action { kRunWindowed, kRunHeadless, kHelp, kVersion, kConfig, kMessages, kError };
    Action action = Action::kRunWindowed;
    std::string error;  // for kError: what was wrong
    std::vector<std::string> commandArgs;  // for kConfig and kMessages: what follows the command
};

VM_SCommandLine VM_ParseCommandLine(const std::vector<std::string>& args);
// The text of --help; program is the name the user typed.
std::string VM_UsageText(const std::string& program);

// The process entry: options and the commands without windows, then the
// windowed program, or the one without windows when asked for or when
// there is no display.
#include <cstdio>
#include <string>
#include <vector>

#include "app/frame/windowed_app.h"
#include "shell/command_line.h"
#include "shell/config_command.h"
#include "shell/headless_app.h"
#include "shell/messages_command.h"
#include "shell/version.h"

int main(int argc, char** argv) {
    const std::string program = argc > 0 ? argv[0] : "vocerra";
    const VM_SCommandLine line = VM_ParseCommandLine(std::vector<std::string>(argv + (argc > 0), argv + argc));
    switch (line.action) {
    case VM_SCommandLine::Action::kHelp:
        std::fputs(VM_UsageText(program).c_str(), stdout);
        return 0;
    case VM_SCommandLine::Action::kVersion:
        std::printf("vocerra %s\n", VM_GetVersion());
        return 0;
    case VM_SCommandLine::Action::kConfig:
        return VM_RunConfigCommand(line.commandArgs, stdout, stderr);
    case VM_SCommandLine::Action::kMessages:
        return VM_RunMessagesCommand(line.commandArgs, stdout, stderr);
    case VM_SCommandLine::Action::kError:
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.c_str(),
                     line.error.c_str(), program.c_str());
        return 2;
    case VM_SCommandLine::Action::kRunWindowed:
        if (VM_HasDisplay()) return VM_RunWindowed(argc, argv);
        std::fprintf(stderr, "%s: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); running without windows.\n",
                     program.c_str());
        break;
    case VM_SCommandLine::Action::kRunHeadless:
        break;
    }
    return VM_RunHeadless();
}

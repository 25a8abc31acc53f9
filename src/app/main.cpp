// The process entry: options, then the program without windows (the
// windowed one is not built yet).
#include <cstdio>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/headless_app.h"
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
    case VM_SCommandLine::Action::kError:
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program.c_str(),
                     line.error.c_str(), program.c_str());
        return 2;
    case VM_SCommandLine::Action::kRunWindowed:
        std::fprintf(stderr, "%s: the windowed program is not built yet; run '%s --headless'.\n", program.c_str(),
                     program.c_str());
        return 2;
    case VM_SCommandLine::Action::kRunHeadless:
        break;
    }
    return VM_RunHeadless();
}

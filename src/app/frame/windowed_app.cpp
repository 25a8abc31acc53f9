#include "app/frame/windowed_app.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/frame/app_icons.h"
#include "app/frame/app_wnd.h"
#include "platform/alsa/alsa_sound_cards.h"
#include "shell/line_services.h"
#include "shell/signal_thread.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

void Say(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

bool VM_HasDisplay() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

int VM_RunWindowed(int argc, char** argv) {
    // Before Qt or any line starts a thread.
    VM_CSignalThread::VM_BlockInThisThread();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vocerra"));
    QApplication::setWindowIcon(VM_AppIcon());
    // Only the exit command ends the program; closing a window never does.
    QApplication::setQuitOnLastWindowClosed(false);

    VM_CLineServices lines;
    int code = 1;
    {
        VM_CAppWnd appWnd;
        std::string error;
        if (appWnd.VM_IsAnotherInstance()) {
            appWnd.VM_Init(true, &error);
            Say(error);
            return 1;
        }
        alsa::InstallSoundCards();
        if (!lines.VM_Start(&error) || !appWnd.VM_Init(true, &error)) {
            Say("Vocerra cannot start: " + error);
            return 1;
        }
        code = appWnd.VM_Run();
    }
    lines.VM_Stop();
    return code;
}

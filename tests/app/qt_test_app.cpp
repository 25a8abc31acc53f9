#include "app/qt_test_app.h"

#include <cstdlib>

#include <QApplication>

QApplication& VM_TestQtApp() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Fontconfig keeps a cache for the life of the process that the leak
// checker reports at exit; it is the library's, not ours, and comes with
// the first widget that lays out text.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

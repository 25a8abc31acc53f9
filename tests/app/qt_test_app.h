// One QApplication for the whole test program, on the offscreen platform
// unless the environment names another (the screenshots use Xvfb).
#pragma once

class QApplication;

QApplication& VM_TestQtApp();

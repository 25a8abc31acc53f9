// The windowed program: the Qt application, the line services, the
// application window and its loop. Without a display it is not started:
// the process entry then runs the program without windows.
#pragma once

// Runs until the user exits (or SIGINT/SIGTERM); the process's exit code,
// 1 when another copy runs for this user (its window is shown instead).
int VM_RunWindowed(int argc, char** argv);
// Whether a display to draw on is named (DISPLAY, WAYLAND_DISPLAY, or a Qt
// platform chosen explicitly, such as offscreen).
bool VM_HasDisplay();

// Headless entry until the windowed application exists: says what is built.
#include <cstdio>

int main() {
    std::puts("Vocerra 0.1 - desktop answering machine for Linux");
    std::puts("Built so far: the platform core (message queues, windows, timers, threads,");
    std::puts("events, critical sections, files, time scale), the trace log and the");
    std::puts("state machine engine that will run each answered call.");
    std::puts("The telephone line, audio, call handling and windows come in later steps.");
    return 0;
}

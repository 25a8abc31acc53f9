// Headless entry until the windowed application exists: says what is built.
#include <cstdio>

int main() {
    static const char* const kBuilt[] = {
        "the platform layer: message queues, windows, timers, threads, events, files,",
        "  a per-user registry file, the telephony line API over a simulated line,",
        "  and wave devices (sound cards, WAVE files, simulated call audio)",
        "the trace log",
        "the telephony session, lines and calls, caller-ID interpretation and the",
        "  modem recording fix",
        "WAVE files with the telephone formats, the player and the recorder with its",
        "  busy-tone, dial-tone and silence detectors and the level enhancement",
        "the configuration, call log, message folders and address book",
        "the state machine engine, window timers and the toll saver",
    };
    std::puts("Vocerra 0.1 - desktop answering machine for Linux");
    std::puts("Built so far:");
    for (const char* line : kBuilt) std::printf("  %s\n", line);
    std::puts("Still to come: the call flows, the answer machine, e-mail notices and the windows.");
    return 0;
}

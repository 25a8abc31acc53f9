// Registry files: whatever the bytes, reading neither crashes, leaks nor
// hangs, and whatever was read is written back in a form that reads back
// whole to the same keys and values (and writes the same text again).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/win32/registry_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    regtext::Store store;
    int badLine = 0;
    bool whole = regtext::Parse(text, store, &badLine);
    if (!whole && badLine <= 0) std::abort();

    std::string written = regtext::Format(store);
    regtext::Store again;
    if (!regtext::Parse(written, again)) std::abort();
    if (!(again == store)) std::abort();
    if (regtext::Format(again) != written) std::abort();
    return 0;
}

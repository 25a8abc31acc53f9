// Hand-built bytes of the stored file layouts, to compare saved files with.
#pragma once

#include <cstdint>
#include <string>

namespace storetest {

inline std::string Int32(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

// int32 length, then the bytes without terminator.
inline std::string Counted(const std::string& text) { return Int32(static_cast<int32_t>(text.size())) + text; }

}  // namespace storetest

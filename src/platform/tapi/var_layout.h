// Writes a variable-size structure (fixed part, then its variable parts) into
// a caller's buffer by the dwTotalSize/dwNeededSize/dwUsedSize rules.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "platform/win32/types.h"

namespace tapisp {

// One variable part: its bytes and where its size and offset fields sit in
// the fixed part. An empty part is reported with size and offset 0.
struct VarPart {
    std::size_t sizeField;
    std::size_t offsetField;
    std::string_view bytes;
};

// fixed holds the fixed part (its first three words are ignored). When the
// buffer is smaller than the fixed part: LINEERR_STRUCTURETOOSMALL, with
// dwNeededSize set when the buffer has room for it. When the variable parts
// do not fit: the fixed part alone, their sizes 0, dwNeededSize the full
// size, result 0.
LONG WriteVarStruct(void* dest, const void* fixed, DWORD fixedSize,
                    std::initializer_list<VarPart> parts);

}  // namespace tapisp

#include "platform/tapi/var_layout.h"

#include <cstring>
#include <vector>

#include "platform/tapi/tapi_constants.h"

namespace tapisp {

namespace {

void PutDword(std::vector<BYTE>& block, std::size_t at, DWORD value) {
    std::memcpy(block.data() + at, &value, sizeof value);
}

DWORD GetDword(const void* base, std::size_t at) {
    DWORD value;
    std::memcpy(&value, static_cast<const BYTE*>(base) + at, sizeof value);
    return value;
}

}  // namespace

LONG WriteVarStruct(void* dest, const void* fixed, DWORD fixedSize,
                    std::initializer_list<VarPart> parts) {
    if (dest == nullptr) return LINEERR_INVALPOINTER;
    std::vector<BYTE> block(static_cast<const BYTE*>(fixed),
                            static_cast<const BYTE*>(fixed) + fixedSize);
    for (const VarPart& part : parts) {
        PutDword(block, part.sizeField, 0);
        PutDword(block, part.offsetField, 0);
        if (part.bytes.empty()) continue;
        PutDword(block, part.sizeField, static_cast<DWORD>(part.bytes.size()));
        PutDword(block, part.offsetField, static_cast<DWORD>(block.size()));
        block.insert(block.end(), part.bytes.begin(), part.bytes.end());
    }
    const DWORD needed = static_cast<DWORD>(block.size());
    const DWORD total = GetDword(dest, 0);
    if (total < fixedSize) {
        if (total >= 2 * sizeof(DWORD)) std::memcpy(static_cast<BYTE*>(dest) + 4, &needed, 4);
        return LINEERR_STRUCTURETOOSMALL;
    }
    DWORD used = needed;
    if (needed > total) {
        // Only the fixed part goes out; it must not point at parts left out.
        block.resize(fixedSize);
        for (const VarPart& part : parts) {
            PutDword(block, part.sizeField, 0);
            PutDword(block, part.offsetField, 0);
        }
        used = fixedSize;
    }
    PutDword(block, 0, total);
    PutDword(block, 4, needed);
    PutDword(block, 8, used);
    std::memcpy(dest, block.data(), used);
    return 0;
}

}  // namespace tapisp

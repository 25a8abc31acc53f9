// The byte layout of "Vocerra.Cfg": little-endian values in the order of the
// fields of VM_CAppCfg; a string is an int32 length and that many bytes with
// no terminator (absent and empty are both length 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class VM_CAppCfg;

enum class VM_ConfigRead {
    kRead,            // every field present
    kShort,           // the file ended early; the fields after it were not touched
    kDamaged,         // a string length was negative or ran past the end
    kForeignVersion,  // not our version (or no version at all); nothing was read
};

// True when the bytes begin with our version as a little-endian int32.
bool VM_HasConfigVersion(const std::uint8_t* data, std::size_t size);

std::string VM_EncodeConfig(const VM_CAppCfg& cfg);

// Reads the fields in file order into cfg. Strings the file does not reach
// come out absent, so the caller releases the strings before decoding; a
// number it does not reach keeps its value.
VM_ConfigRead VM_DecodeConfig(VM_CAppCfg& cfg, const std::uint8_t* data, std::size_t size);

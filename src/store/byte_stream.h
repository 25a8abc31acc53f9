// Little-endian readers and writers over bytes in memory. Stored files are
// read whole and parsed from memory, so every length can be checked against
// the bytes that are really left before anything is allocated or skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class VM_CByteReader {
public:
    VM_CByteReader(const void* data, size_t size)
        : m_data(static_cast<const unsigned char*>(data)), m_size(size) {}

    size_t VM_Remaining() const { return m_size - m_pos; }
    bool VM_AtEnd() const { return m_pos == m_size; }

    // Each returns false, leaving the position where it was, when the bytes
    // are not there.
    bool VM_ReadInt32(int32_t& value);
    bool VM_ReadByte(uint8_t& value);
    bool VM_ReadBytes(size_t count, std::string& bytes);
    bool VM_Skip(size_t count);

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class VM_CByteWriter {
public:
    void VM_WriteInt32(int32_t value);
    void VM_WriteByte(uint8_t value);
    // Length as int32, then the bytes without terminator.
    void VM_WriteCounted(const std::string& text);

    const std::string& VM_Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

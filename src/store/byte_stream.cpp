#include "store/byte_stream.h"

bool VM_CByteReader::VM_ReadInt32(int32_t& value) {
    if (VM_Remaining() < 4) return false;
    uint32_t v = static_cast<uint32_t>(m_data[m_pos]) |
                 (static_cast<uint32_t>(m_data[m_pos + 1]) << 8) |
                 (static_cast<uint32_t>(m_data[m_pos + 2]) << 16) |
                 (static_cast<uint32_t>(m_data[m_pos + 3]) << 24);
    value = static_cast<int32_t>(v);
    m_pos += 4;
    return true;
}

bool VM_CByteReader::VM_ReadByte(uint8_t& value) {
    if (VM_Remaining() < 1) return false;
    value = m_data[m_pos++];
    return true;
}

bool VM_CByteReader::VM_ReadBytes(size_t count, std::string& bytes) {
    if (VM_Remaining() < count) return false;
    bytes.assign(reinterpret_cast<const char*>(m_data + m_pos), count);
    m_pos += count;
    return true;
}

bool VM_CByteReader::VM_Skip(size_t count) {
    if (VM_Remaining() < count) return false;
    m_pos += count;
    return true;
}

void VM_CByteWriter::VM_WriteInt32(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) m_bytes.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void VM_CByteWriter::VM_WriteByte(uint8_t value) { m_bytes.push_back(static_cast<char>(value)); }

void VM_CByteWriter::VM_WriteCounted(const std::string& text) {
    VM_WriteInt32(static_cast<int32_t>(text.size()));
    m_bytes += text;
}

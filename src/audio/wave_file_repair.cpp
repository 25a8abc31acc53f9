#include "audio/wave_file_repair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "audio/wave_file.h"
#include "diag/trace.h"

namespace {

constexpr DWORD kChunkHeader = 8;
constexpr DWORD kFormHeader = 12;   // "RIFF", size, "WAVE"
constexpr DWORD kLongestHeader = 4096;

DWORD Le32(const unsigned char* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

void PutLe32(unsigned char* p, DWORD value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

class RepairFile {
public:
    explicit RepairFile(const char* path) : m_fd(::open(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW)) {}
    ~RepairFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    RepairFile(const RepairFile&) = delete;
    RepairFile& operator=(const RepairFile&) = delete;

    VM_SWaveRepair Repair();

private:
    bool ReadHead();
    bool FindChunks();
    bool SizesRight(DWORD present) const;
    bool WriteSizes(DWORD dataBytes);
    bool PutDword(DWORD offset, DWORD value);

    int m_fd;
    off_t m_size = 0;
    unsigned char m_head[kLongestHeader] = {};
    DWORD m_headLength = 0;
    DWORD m_fmtOffset = 0;    // of the format block
    DWORD m_fmtSize = 0;
    DWORD m_dataOffset = 0;   // of the first sample
};

bool RepairFile::ReadHead() {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    m_size = info.st_size;
    const auto want = static_cast<size_t>(m_size < kLongestHeader ? m_size : kLongestHeader);
    const ssize_t got = ::pread(m_fd, m_head, want, 0);
    if (got < 0 || static_cast<size_t>(got) != want) return false;
    m_headLength = static_cast<DWORD>(got);
    return true;
}

// The chunks are walked by their own sizes, never by the form's, which is
// what the dying writer left unwritten. The data chunk is the last one.
bool RepairFile::FindChunks() {
    if (m_headLength < kFormHeader || std::memcmp(m_head, "RIFF", 4) != 0 || std::memcmp(m_head + 8, "WAVE", 4) != 0)
        return false;
    DWORD at = kFormHeader;
    while (at + kChunkHeader <= m_headLength) {
        const unsigned char* id = m_head + at;
        const DWORD size = Le32(m_head + at + 4);
        if (std::memcmp(id, "data", 4) == 0) {
            m_dataOffset = at + kChunkHeader;
            return true;
        }
        if (std::memcmp(id, "fmt ", 4) == 0) {
            m_fmtOffset = at + kChunkHeader;
            m_fmtSize = size;
        }
        if (size > m_headLength - at - kChunkHeader) return false;
        at += kChunkHeader + size + (size & 1);
    }
    return false;
}

bool RepairFile::SizesRight(DWORD present) const {
    const DWORD stated = Le32(m_head + m_dataOffset - 4);
    const DWORD riff = Le32(m_head + 4);
    return stated != 0 && (present == stated || present == stated + (stated & 1)) &&
           riff == m_dataOffset - kChunkHeader + present;
}

bool RepairFile::PutDword(DWORD offset, DWORD value) {
    unsigned char bytes[4];
    PutLe32(bytes, value);
    return ::pwrite(m_fd, bytes, 4, offset) == 4;
}

// A sample cut in half by the end of the file is dropped; an odd count
// gets the RIFF pad byte.
bool RepairFile::WriteSizes(DWORD dataBytes) {
    const off_t end = static_cast<off_t>(m_dataOffset) + dataBytes;
    if (end != m_size && ::ftruncate(m_fd, end) != 0) return false;
    const DWORD pad = dataBytes & 1;
    if (pad != 0) {
        const char zero = 0;
        if (::pwrite(m_fd, &zero, 1, end) != 1) return false;
    }
    return PutDword(m_dataOffset - 4, dataBytes) &&
           PutDword(4, m_dataOffset - kChunkHeader + dataBytes + pad) && ::fsync(m_fd) == 0;
}

VM_SWaveRepair RepairFile::Repair() {
    VM_SWaveRepair result;
    if (!ReadHead()) return result;
    if (!FindChunks()) {
        // A name reserved, or a header cut short, before any sample.
        result.state = m_size <= static_cast<off_t>(kFormHeader + 2 * kChunkHeader + sizeof(WAVEFORMATEX))
                           ? VM_EWaveRepair::kEmpty
                           : VM_EWaveRepair::kNotWave;
        return result;
    }
    const DWORD present = m_size > static_cast<off_t>(m_dataOffset) ? static_cast<DWORD>(m_size - m_dataOffset) : 0;
    if (m_fmtOffset != 0 && m_fmtSize >= 16) {
        std::memcpy(&result.format, m_head + m_fmtOffset, m_fmtSize < sizeof result.format ? m_fmtSize : sizeof result.format);
    }
    const WAVEFORMATEX& f = result.format;
    const bool formatKnown = f.wFormatTag != 0 && f.nChannels != 0 && f.nSamplesPerSec != 0 && f.nBlockAlign != 0 &&
                             f.nAvgBytesPerSec != 0;
    if (present <= VM_WAVE_MIN_KEEP_BYTES) {
        result.state = VM_EWaveRepair::kEmpty;
        return result;
    }
    if (!formatKnown) {
        result.state = VM_EWaveRepair::kNoFormat;
        return result;
    }
    if (SizesRight(present)) {
        result.state = VM_EWaveRepair::kWhole;
        result.dataBytes = Le32(m_head + m_dataOffset - 4);
        return result;
    }
    result.dataBytes = present - present % f.nBlockAlign;
    if (!WriteSizes(result.dataBytes)) return result;
    result.state = VM_EWaveRepair::kRepaired;
    return result;
}

}  // namespace

VM_SWaveRepair VM_RepairWaveFile(const char* path) {
    if (path == nullptr) return {};
    RepairFile file(path);
    VM_SWaveRepair result = file.Repair();
    VM_TRACE(g_bTraceAudio, "VM_RepairWaveFile(%s): state=%d, data=%lu", path, static_cast<int>(result.state),
             static_cast<unsigned long>(result.dataBytes));
    return result;
}

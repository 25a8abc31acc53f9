#include "audio/wave_file.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

#include "diag/trace.h"
#include "platform/win32/files.h"

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
constexpr DWORD kFormatSize = sizeof(WAVEFORMATEX);
// A format block is allocated one byte larger than it is, zeroed.
constexpr DWORD kFormatAlloc = kFormatSize + 1;

uintptr_t Hex(const void* p) { return reinterpret_cast<uintptr_t>(p); }

char* CopyName(const char* name) {
    if (name == nullptr) return nullptr;
    const size_t length = std::strlen(name);
    char* copy = new char[length + 1];
    std::memcpy(copy, name, length + 1);
    return copy;
}

// Bytes from offset to the end of the open file.
LONG BytesLeftAfter(HMMIO h, DWORD offset) {
    const LONG here = mmioSeek(h, 0, SEEK_CUR);
    const LONG end = mmioSeek(h, 0, SEEK_END);
    mmioSeek(h, here, SEEK_SET);
    if (end < 0 || static_cast<DWORD>(end) < offset) return 0;
    return static_cast<LONG>(static_cast<DWORD>(end) - offset);
}

}  // namespace

VM_CWaveFile::VM_CWaveFile(const char* fileName, DWORD mode) : m_dwMode(mode) {
    m_pszFileName = CopyName(fileName);
    if (m_pszFileName == nullptr) return;
    if (mode == VM_WAVE_MODE_NEW) {
        VM_OpenNewFile(m_pszFileName);
    } else if (mode == VM_WAVE_MODE_READ) {
        VM_OpenExistFile(m_pszFileName);
    }
}

VM_CWaveFile::~VM_CWaveFile() {
    VM_Close();
    VM_FreeFormat();
    delete[] m_pszFileName;
}

void VM_CWaveFile::VM_FreeFormat() {
    delete[] reinterpret_cast<BYTE*>(m_pFormat);
    m_pFormat = nullptr;
}

BOOL VM_CWaveFile::VM_FailOpen() {
    VM_FreeFormat();
    mmioClose(m_hmmio, 0);
    m_hmmio = nullptr;
    return FALSE;
}

BOOL VM_CWaveFile::VM_OpenExistFile(const char* fileName) {
    if (fileName == nullptr) return FALSE;
    m_hmmio = mmioOpenA(const_cast<char*>(fileName), nullptr, MMIO_READ);
    VM_TRACE(g_bTraceAudio, "VM_CWaveFile::VM_OpenExistFile: mmioOpen(fileName=%s)=0x%" PRIxPTR, fileName,
             Hex(m_hmmio));
    if (m_hmmio == nullptr) return FALSE;
    m_ckRiff = MMCKINFO{};
    m_ckRiff.fccType = kWave;
    if (mmioDescend(m_hmmio, &m_ckRiff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return VM_FailOpen();
    const LONG formStart = mmioSeek(m_hmmio, 0, SEEK_CUR);
    m_ckFmt = MMCKINFO{};
    m_ckFmt.ckid = kFmt;
    if (mmioDescend(m_hmmio, &m_ckFmt, &m_ckRiff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return VM_FailOpen();
    // A size beyond the bytes the file holds marks it damaged.
    if (m_ckFmt.cksize > static_cast<DWORD>(BytesLeftAfter(m_hmmio, m_ckFmt.dwDataOffset))) return VM_FailOpen();
    const DWORD alloc = m_ckFmt.cksize > kFormatSize ? m_ckFmt.cksize + 1 : kFormatAlloc;
    BYTE* block = new (std::nothrow) BYTE[alloc]();
    if (block == nullptr) return VM_FailOpen();
    m_pFormat = reinterpret_cast<WAVEFORMATEX*>(block);
    const LONG got = mmioRead(m_hmmio, reinterpret_cast<char*>(block), static_cast<LONG>(m_ckFmt.cksize));
    if (got <= 0 || static_cast<DWORD>(got) != m_ckFmt.cksize) return VM_FailOpen();
    // The chunks may come in any order inside the form.
    if (mmioSeek(m_hmmio, formStart, SEEK_SET) < 0) return VM_FailOpen();
    m_ckData = MMCKINFO{};
    m_ckData.ckid = kData;
    if (mmioDescend(m_hmmio, &m_ckData, &m_ckRiff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return VM_FailOpen();
    const auto present = static_cast<DWORD>(BytesLeftAfter(m_hmmio, m_ckData.dwDataOffset));
    if (m_ckData.cksize > present) m_ckData.cksize = present;
    m_lReadPos = 0;
    m_lWritePos = 0;
    return TRUE;
}

BOOL VM_CWaveFile::VM_OpenNewFile(const char* fileName) {
    if (fileName == nullptr) return FALSE;
    m_hmmio = mmioOpenA(const_cast<char*>(fileName), nullptr, MMIO_CREATE | MMIO_READWRITE);
    VM_TRACE(g_bTraceAudio, "VM_CWaveFile::VM_OpenNewFile(fileName=%s): mmioOpen=0x%" PRIxPTR, fileName,
             Hex(m_hmmio));
    if (m_hmmio == nullptr) return FALSE;
    m_ckRiff = MMCKINFO{};
    m_ckRiff.fccType = kWave;
    if (mmioCreateChunk(m_hmmio, &m_ckRiff, MMIO_CREATERIFF) != MMSYSERR_NOERROR) return VM_FailOpen();
    m_ckFmt = MMCKINFO{};
    m_ckFmt.ckid = kFmt;
    m_ckFmt.cksize = kFormatSize;
    if (mmioCreateChunk(m_hmmio, &m_ckFmt, 0) != MMSYSERR_NOERROR) return VM_FailOpen();
    const char placeholder[kFormatSize] = {};
    if (mmioWrite(m_hmmio, placeholder, kFormatSize) != static_cast<LONG>(kFormatSize)) return VM_FailOpen();
    if (mmioAscend(m_hmmio, &m_ckFmt, 0) != MMSYSERR_NOERROR) return VM_FailOpen();
    m_ckData = MMCKINFO{};
    m_ckData.ckid = kData;
    if (mmioCreateChunk(m_hmmio, &m_ckData, 0) != MMSYSERR_NOERROR) return VM_FailOpen();
    m_lReadPos = 0;
    m_lWritePos = 0;
    return TRUE;
}

BOOL VM_CWaveFile::VM_SetFormat(const WAVEFORMATEX* format) {
    if (format == nullptr) return FALSE;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_pFormat == nullptr) {
        m_pFormat = reinterpret_cast<WAVEFORMATEX*>(new (std::nothrow) BYTE[kFormatAlloc]());
    }
    if (m_pFormat == nullptr) return FALSE;
    std::memcpy(m_pFormat, format, kFormatSize);
    // Written at once as well as on close: a recording cut short by the
    // process dying must still say how its samples are coded.
    if (m_dwMode == VM_WAVE_MODE_NEW && m_hmmio != nullptr && m_ckFmt.dwDataOffset != 0 &&
        mmioSeek(m_hmmio, static_cast<LONG>(m_ckFmt.dwDataOffset), SEEK_SET) >= 0)
        mmioWrite(m_hmmio, reinterpret_cast<const char*>(m_pFormat), kFormatSize);
    return TRUE;
}

LONG VM_CWaveFile::VM_ReadData(BYTE* buffer) {
    if (buffer == nullptr) return 0;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_hmmio == nullptr) return 0;
    const LONG remaining = static_cast<LONG>(m_ckData.cksize) - m_lReadPos;
    if (remaining <= 0) return 0;
    if (mmioSeek(m_hmmio, static_cast<LONG>(m_ckData.dwDataOffset) + m_lReadPos, SEEK_SET) < 0) return -1;
    const LONG want = remaining < VM_WAVE_READ_SIZE ? remaining : VM_WAVE_READ_SIZE;
    const LONG got = mmioRead(m_hmmio, reinterpret_cast<char*>(buffer), want);
    if (got > 0) m_lReadPos += got;
    return got;
}

LONG VM_CWaveFile::VM_WriteData(const BYTE* buffer, LONG length, BOOL updateLength) {
    if (buffer == nullptr || length <= 0 || m_dwMode == VM_WAVE_MODE_READ) return 0;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_hmmio == nullptr) return 0;
    if (mmioSeek(m_hmmio, static_cast<LONG>(m_ckData.dwDataOffset) + m_lWritePos, SEEK_SET) < 0) return 0;
    const LONG written = mmioWrite(m_hmmio, reinterpret_cast<const char*>(buffer), length);
    if (written <= 0) return 0;
    m_lWritePos += written;
    if (updateLength) {
        m_ckData.cksize = static_cast<DWORD>(m_lWritePos);
        m_ckData.dwFlags |= MMIO_DIRTY;
        m_ckRiff.dwFlags |= MMIO_DIRTY;
    }
    return written;
}

void VM_CWaveFile::VM_SetReadPos(LONG position) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (position >= 0 && static_cast<DWORD>(position) <= m_ckData.cksize) m_lReadPos = position;
}

void VM_CWaveFile::VM_SetWritePos(LONG position) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (position >= 0) m_lWritePos = position;
}

DWORD VM_CWaveFile::VM_GetDataSize() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_hmmio == nullptr ? 0 : m_ckData.cksize;
}

LONG VM_CWaveFile::VM_GetReadPos() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_lReadPos;
}

LONG VM_CWaveFile::VM_GetWritePos() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_lWritePos;
}

void VM_CWaveFile::VM_TraceClose(MMRESULT result) {
    VM_TRACE(g_bTraceAudio, "VM_CWaveFile::VM_Close(fileName=%s): mmioClose(m_hmmio=0x%" PRIxPTR ")=0x%x",
             m_pszFileName != nullptr ? m_pszFileName : "", Hex(m_hmmio), result);
}

BOOL VM_CWaveFile::VM_Close() {
    if (m_hmmio == nullptr) return FALSE;
    if (m_dwMode == VM_WAVE_MODE_READ) {
        VM_FreeFormat();
        const MMRESULT result = mmioClose(m_hmmio, 0);
        VM_TraceClose(result);
        m_hmmio = nullptr;
        return TRUE;
    }
    // Whether the file is kept is decided from what was written, never from
    // a header that a full disk may have left unwritten.
    const DWORD written = m_ckData.cksize;
    bool ok = true;
    if (m_pFormat != nullptr) {
        const LONG size = static_cast<LONG>(m_ckFmt.cksize);
        ok = mmioSeek(m_hmmio, static_cast<LONG>(m_ckFmt.dwDataOffset), SEEK_SET) >= 0 &&
             mmioWrite(m_hmmio, reinterpret_cast<const char*>(m_pFormat), size) == size;
        VM_FreeFormat();
    }
    ok = mmioSeek(m_hmmio, static_cast<LONG>(m_ckData.dwDataOffset + written), SEEK_SET) >= 0 && ok;
    if (m_ckData.dwFlags & MMIO_DIRTY) m_ckData.cksize = 0;
    ok = mmioAscend(m_hmmio, &m_ckData, 0) == MMSYSERR_NOERROR && ok;
    ok = mmioAscend(m_hmmio, &m_ckRiff, 0) == MMSYSERR_NOERROR && ok;
    ok = mmioFlush(m_hmmio, MMIO_EMPTYBUF) == MMSYSERR_NOERROR && ok;
    const MMRESULT result = mmioClose(m_hmmio, 0);
    VM_TraceClose(result);
    m_hmmio = nullptr;
    m_ckData.cksize = written;
    if (written <= VM_WAVE_MIN_KEEP_BYTES && m_pszFileName != nullptr) DeleteFileA(m_pszFileName);
    if (ok && result == MMSYSERR_NOERROR) return TRUE;
    VM_TRACE(g_bTraceAudio, "VM_CWaveFile::VM_Close(fileName=%s): writing failed, %lu data bytes kept",
             m_pszFileName != nullptr ? m_pszFileName : "", static_cast<unsigned long>(written));
    return FALSE;
}

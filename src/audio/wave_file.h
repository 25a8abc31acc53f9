// One WAVE file: its format block, its data chunk and independent read and
// write positions. Mode 1 creates a new file for writing (and reading back);
// mode 2 opens an existing file for reading only.
#pragma once

#include <mutex>

#include "platform/win32/types.h"
#include "platform/winmm/riff_io.h"
#include "platform/winmm/wave_format.h"

constexpr DWORD VM_WAVE_MODE_NEW = 1;
constexpr DWORD VM_WAVE_MODE_READ = 2;
// The most VM_ReadData returns at once: one wave buffer.
constexpr LONG VM_WAVE_READ_SIZE = 1600;
// Files with no more sample bytes than this are deleted on close.
constexpr DWORD VM_WAVE_MIN_KEEP_BYTES = 100;
// Bits of VM_Enhance's flags.
constexpr DWORD VM_ENHANCE_COMPRESS = 0x1;
constexpr DWORD VM_ENHANCE_KEEP_QUIET = 0x1000;

class VM_CWaveFile {
public:
    VM_CWaveFile(const char* fileName, DWORD mode);
    virtual ~VM_CWaveFile();
    VM_CWaveFile(const VM_CWaveFile&) = delete;
    VM_CWaveFile& operator=(const VM_CWaveFile&) = delete;

    BOOL VM_OpenExistFile(const char* fileName);
    BOOL VM_OpenNewFile(const char* fileName);
    // A new file's format block is written to it at once, and again on close.
    BOOL VM_SetFormat(const WAVEFORMATEX* format);
    // buffer holds at least VM_WAVE_READ_SIZE bytes. Bytes read, 0 at the end,
    // negative on a read error.
    LONG VM_ReadData(BYTE* buffer);
    // The bytes are handed to the system before it returns (the file is
    // unbuffered), so a recording is whole up to a process that dies.
    LONG VM_WriteData(const BYTE* buffer, LONG length, BOOL updateLength);
    void VM_SetReadPos(LONG position);
    BOOL VM_ConvertFormat(const WAVEFORMATEX* target);
    // The end-of-recording level pass (defined with the compressor).
    BOOL VM_Enhance(DWORD flags);
    // A file being written gets its header and is flushed to disk; FALSE
    // when writing failed. Whether it is kept (more than
    // VM_WAVE_MIN_KEEP_BYTES data bytes) depends only on what was written.
    BOOL VM_Close();

    // Null while the file is not open.
    const WAVEFORMATEX* VM_GetFormat() const { return m_pFormat; }
    BOOL VM_IsOpen() const { return m_hmmio != nullptr; }
    DWORD VM_GetMode() const { return m_dwMode; }
    const char* VM_GetFileName() const { return m_pszFileName; }
    DWORD VM_GetDataSize() const;
    LONG VM_GetReadPos() const;
    LONG VM_GetWritePos() const;
    void VM_SetWritePos(LONG position);

private:
    void VM_FreeFormat();
    BOOL VM_FailOpen();
    void VM_TraceClose(MMRESULT result);

    HMMIO m_hmmio = nullptr;
    DWORD m_dwMode = 0;
    char* m_pszFileName = nullptr;
    WAVEFORMATEX* m_pFormat = nullptr;
    MMCKINFO m_ckRiff{};
    MMCKINFO m_ckFmt{};
    MMCKINFO m_ckData{};
    mutable std::recursive_mutex m_lock;
    LONG m_lReadPos = 0;
    LONG m_lWritePos = 0;
};

// Rewriting a WAVE file in another sample format, through a temporary file
// beside it that replaces the original only once it is complete.
#include <cstdio>
#include <memory>

#include "audio/wave_file.h"
#include "audio/wave_file_names.h"
#include "audio/wave_processor.h"
#include "diag/trace.h"
#include "platform/win32/file_replace.h"
#include "platform/win32/files.h"

namespace {

constexpr LONG kTargetCapacity = 2 * VM_WAVE_READ_SIZE;

LONG ScalePosition(LONG position, WORD fromBytes, WORD toBytes) {
    if (fromBytes == 0) return 0;
    return static_cast<LONG>(static_cast<long long>(position) / fromBytes * toBytes);
}

struct DeleteName {
    void operator()(char* name) const { delete[] name; }
};

}  // namespace

// Writes every sample of source, converted, into the new file at path.
// Returns the number of bytes written, or -1 when anything failed.
static long long WriteConverted(VM_CWaveFile& source, VM_CWaveProcessor& processor, const char* path,
                                const WAVEFORMATEX* target) {
    VM_CWaveFile converted(path, VM_WAVE_MODE_NEW);
    if (!converted.VM_IsOpen()) return -1;
    auto in = std::make_unique<BYTE[]>(VM_WAVE_READ_SIZE);
    auto out = std::make_unique<BYTE[]>(kTargetCapacity);
    long long total = 0;
    source.VM_SetReadPos(0);
    LONG n = 0;
    while ((n = source.VM_ReadData(in.get())) > 0) {
        LONG produced = kTargetCapacity;
        if (!processor.VM_ConvertBuffer(in.get(), n, out.get(), produced)) return -1;
        if (produced > 0 && converted.VM_WriteData(out.get(), produced, TRUE) != produced) return -1;
        total += produced;
    }
    if (n < 0) return -1;
    converted.VM_SetFormat(target);
    converted.VM_Close();
    return total;
}

// A complete file of the expected length, read back from disk.
static bool IsComplete(const char* path, long long expectedBytes) {
    if (expectedBytes <= static_cast<long long>(VM_WAVE_MIN_KEEP_BYTES)) return false;
    VM_CWaveFile check(path, VM_WAVE_MODE_READ);
    return check.VM_IsOpen() && static_cast<long long>(check.VM_GetDataSize()) == expectedBytes;
}

BOOL VM_CWaveFile::VM_ConvertFormat(const WAVEFORMATEX* target) {
    // A file still being written (the pre-screening player plays the message
    // being recorded) is never replaced under its writer.
    if (m_pFormat == nullptr || m_hmmio == nullptr || m_dwMode != VM_WAVE_MODE_READ) return FALSE;
    VM_CWaveProcessor processor(m_pFormat);
    if (!processor.VM_SetTargetFormat(target)) return FALSE;
    const LONG readPos = VM_GetReadPos();
    const LONG writePos = VM_GetWritePos();
    std::unique_ptr<char[], DeleteName> tempName(VM_MakeTempFileName(m_pszFileName));
    if (tempName == nullptr) return FALSE;
    const long long bytes = WriteConverted(*this, processor, tempName.get(), target);
    // Only a complete conversion replaces the original; the rename is atomic.
    if (bytes < 0 || !IsComplete(tempName.get(), bytes) ||
        !platform::CommitReplacement(tempName.get(), m_pszFileName)) {
        DeleteFileA(tempName.get());
        VM_TRACE(g_bTraceAudio, "VM_CWaveFile::VM_ConvertFormat(fileName=%s): kept the original", m_pszFileName);
        VM_SetReadPos(readPos);
        return FALSE;
    }
    VM_Close();
    if (!VM_OpenExistFile(m_pszFileName)) return FALSE;
    // Positions are byte offsets: keep them on the same sample.
    const WORD fromBytes = processor.VM_GetBytesPerSample();
    const WORD toBytes = processor.VM_GetTargetBytesPerSample();
    VM_SetReadPos(ScalePosition(readPos, fromBytes, toBytes));
    VM_SetWritePos(ScalePosition(writePos, fromBytes, toBytes));
    return TRUE;
}

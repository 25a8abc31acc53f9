#include "platform/winmm/riff_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kStreamBuffer = 64 * 1024;
constexpr DWORD kHeaderSize = 8;

enum class LastOp { kNone, kRead, kWrite };

std::atomic<bool> g_writesFailing{false};

bool WritesFail() { return g_writesFailing.load(std::memory_order_relaxed); }

}  // namespace

struct HMMIO__ {
    FILE* file = nullptr;
    bool writable = false;
    LastOp last = LastOp::kNone;
    char* buffer = nullptr;
    // The stream position, kept so that a seek to where the stream already
    // is costs nothing (the C library would drop its buffer).
    long pos = 0;
};

namespace {

// The C library needs a positioning call between a read and a write.
void SwitchTo(HMMIO h, LastOp op) {
    if (h->last != LastOp::kNone && h->last != op) std::fseek(h->file, 0, SEEK_CUR);
    h->last = op;
}

LONG Tell(HMMIO h) { return static_cast<LONG>(h->pos); }

LONG FileSize(HMMIO h) {
    std::fseek(h->file, 0, SEEK_END);
    const long size = std::ftell(h->file);
    std::fseek(h->file, h->pos, SEEK_SET);
    h->last = LastOp::kNone;
    return static_cast<LONG>(size);
}

bool ReadDword(HMMIO h, DWORD* value) {
    BYTE b[4];
    if (mmioRead(h, reinterpret_cast<char*>(b), 4) != 4) return false;
    *value = static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) |
             (static_cast<DWORD>(b[2]) << 16) | (static_cast<DWORD>(b[3]) << 24);
    return true;
}

bool WriteDword(HMMIO h, DWORD value) {
    const BYTE b[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                       static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return mmioWrite(h, reinterpret_cast<const char*>(b), 4) == 4;
}

bool IsContainer(FOURCC id) { return id == FOURCC_RIFF || id == FOURCC_LIST; }

bool Matches(const MMCKINFO& found, FOURCC wantId, FOURCC wantType, UINT flags) {
    if (flags & MMIO_FINDRIFF) return found.ckid == FOURCC_RIFF && found.fccType == wantType;
    if (flags & MMIO_FINDLIST) return found.ckid == FOURCC_LIST && found.fccType == wantType;
    if (flags & MMIO_FINDCHUNK) return found.ckid == wantId;
    return true;
}

// Reads the chunk header at the current position.
bool ReadHeader(HMMIO h, MMCKINFO* ck) {
    if (!ReadDword(h, &ck->ckid) || !ReadDword(h, &ck->cksize)) return false;
    ck->dwDataOffset = static_cast<DWORD>(Tell(h));
    ck->fccType = 0;
    ck->dwFlags = 0;
    if (IsContainer(ck->ckid) && !ReadDword(h, &ck->fccType)) return false;
    return true;
}

// Created files are the owner's alone: they hold the owner's messages.
FILE* OpenStream(const char* fileName, const char* mode, bool create) {
    if (!create) return std::fopen(fileName, mode);
    const int access = std::strchr(mode, '+') != nullptr ? O_RDWR : O_WRONLY;
    const int fd = ::open(fileName, O_CREAT | O_TRUNC | O_CLOEXEC | access, 0600);
    if (fd < 0) return nullptr;
    FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace

namespace winmm {
void SetRiffWritesFailing(bool failing) { g_writesFailing.store(failing, std::memory_order_relaxed); }
}  // namespace winmm

HMMIO mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD openFlags) {
    if (fileName == nullptr || info != nullptr) return nullptr;
    const DWORD rw = openFlags & MMIO_RWMODE;
    const char* mode = "rb";
    if (openFlags & MMIO_CREATE) {
        mode = (rw == MMIO_WRITE) ? "wb" : "w+b";
    } else if (rw == MMIO_READWRITE || rw == MMIO_WRITE) {
        mode = "r+b";
    }
    FILE* file = OpenStream(fileName, mode, openFlags & MMIO_CREATE);
    if (file == nullptr) return nullptr;
    auto* h = new HMMIO__;
    h->file = file;
    h->writable = (std::strcmp(mode, "rb") != 0);
    // Buffered only when asked to, as on the platform mirrored: each write
    // of an unbuffered file reaches the system before it returns, so a
    // process that dies loses nothing it wrote, and a full disk fails the
    // very write that meets it instead of a later flush nobody checks.
    if (openFlags & MMIO_ALLOCBUF) {
        h->buffer = new char[kStreamBuffer];
        std::setvbuf(file, h->buffer, _IOFBF, kStreamBuffer);
    } else {
        std::setvbuf(file, nullptr, _IONBF, 0);
    }
    return h;
}

MMRESULT mmioClose(HMMIO h, UINT /*flags*/) {
    if (h == nullptr) return MMSYSERR_INVALHANDLE;
    // A finished recording is on disk before anyone files its record.
    bool synced = true;
    if (h->writable) synced = !WritesFail() && std::fflush(h->file) == 0 && ::fsync(::fileno(h->file)) == 0;
    const int rc = std::fclose(h->file);
    delete[] h->buffer;
    delete h;
    return rc == 0 && synced ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

LONG mmioRead(HMMIO h, HPSTR buffer, LONG count) {
    if (h == nullptr || buffer == nullptr || count < 0) return -1;
    SwitchTo(h, LastOp::kRead);
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(count), h->file);
    h->pos += static_cast<long>(n);
    if (n < static_cast<size_t>(count) && std::ferror(h->file)) {
        std::clearerr(h->file);
        h->pos = std::ftell(h->file);
        return -1;
    }
    return static_cast<LONG>(n);
}

LONG mmioWrite(HMMIO h, const char* buffer, LONG count) {
    if (h == nullptr || buffer == nullptr || count < 0 || !h->writable || WritesFail()) return -1;
    SwitchTo(h, LastOp::kWrite);
    const size_t n = std::fwrite(buffer, 1, static_cast<size_t>(count), h->file);
    h->pos += static_cast<long>(n);
    if (n < static_cast<size_t>(count)) {
        std::clearerr(h->file);
        h->pos = std::ftell(h->file);
        return -1;
    }
    return static_cast<LONG>(n);
}

LONG mmioSeek(HMMIO h, LONG offset, int origin) {
    if (h == nullptr) return -1;
    if ((origin == SEEK_SET && offset == h->pos) || (origin == SEEK_CUR && offset == 0)) return Tell(h);
    if (std::fseek(h->file, offset, origin) != 0) return -1;
    h->last = LastOp::kNone;
    h->pos = std::ftell(h->file);
    return Tell(h);
}

MMRESULT mmioFlush(HMMIO h, UINT /*flags*/) {
    if (h == nullptr) return MMSYSERR_INVALHANDLE;
    if ((h->writable && WritesFail()) || std::fflush(h->file) != 0) return MMIOERR_CANNOTWRITE;
    h->last = LastOp::kNone;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioDescend(HMMIO h, LPMMCKINFO ck, LPCMMCKINFO parent, UINT flags) {
    if (h == nullptr || ck == nullptr) return MMSYSERR_INVALPARAM;
    const FOURCC wantId = ck->ckid;
    const FOURCC wantType = ck->fccType;
    // A parent whose size runs past the file (a recording never closed)
    // ends where the file ends.
    LONG end = FileSize(h);
    if (parent != nullptr) {
        const long long parentEnd = static_cast<long long>(parent->dwDataOffset) + parent->cksize;
        if (parentEnd < end) end = static_cast<LONG>(parentEnd);
    }
    for (;;) {
        const LONG start = Tell(h);
        if (start < 0 || start + static_cast<LONG>(kHeaderSize) > end) return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found{};
        if (!ReadHeader(h, &found)) return MMIOERR_CHUNKNOTFOUND;
        if (Matches(found, wantId, wantType, flags)) {
            *ck = found;
            return MMSYSERR_NOERROR;
        }
        const long long next = static_cast<long long>(found.dwDataOffset) + found.cksize + (found.cksize & 1);
        if (next > end || mmioSeek(h, static_cast<LONG>(next), SEEK_SET) < 0) return MMIOERR_CHUNKNOTFOUND;
    }
}

MMRESULT mmioAscend(HMMIO h, LPMMCKINFO ck, UINT /*flags*/) {
    if (h == nullptr || ck == nullptr) return MMSYSERR_INVALPARAM;
    if (ck->dwFlags & MMIO_DIRTY) {
        const LONG here = Tell(h);
        if (here < static_cast<LONG>(ck->dwDataOffset)) return MMIOERR_CANNOTSEEK;
        const DWORD size = static_cast<DWORD>(here) - ck->dwDataOffset;
        if (size != ck->cksize) {
            if (mmioSeek(h, static_cast<LONG>(ck->dwDataOffset - 4), SEEK_SET) < 0 || !WriteDword(h, size)) {
                return MMIOERR_CANNOTWRITE;
            }
            ck->cksize = size;
        }
        if (mmioSeek(h, here, SEEK_SET) < 0) return MMIOERR_CANNOTSEEK;
        if (size & 1) {
            const char pad = 0;
            if (mmioWrite(h, &pad, 1) != 1) return MMIOERR_CANNOTWRITE;
        }
        ck->dwFlags &= ~MMIO_DIRTY;
        return MMSYSERR_NOERROR;
    }
    const long long next = static_cast<long long>(ck->dwDataOffset) + ck->cksize + (ck->cksize & 1);
    if (mmioSeek(h, static_cast<LONG>(next), SEEK_SET) < 0) return MMIOERR_CANNOTSEEK;
    return MMSYSERR_NOERROR;
}

MMRESULT mmioCreateChunk(HMMIO h, LPMMCKINFO ck, UINT flags) {
    if (h == nullptr || ck == nullptr) return MMSYSERR_INVALPARAM;
    if (flags & MMIO_CREATERIFF) ck->ckid = FOURCC_RIFF;
    if (flags & MMIO_CREATELIST) ck->ckid = FOURCC_LIST;
    if (!WriteDword(h, ck->ckid) || !WriteDword(h, ck->cksize)) return MMIOERR_CANNOTWRITE;
    ck->dwDataOffset = static_cast<DWORD>(Tell(h));
    if (IsContainer(ck->ckid) && !WriteDword(h, ck->fccType)) return MMIOERR_CANNOTWRITE;
    ck->dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

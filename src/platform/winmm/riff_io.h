// Buffered file I/O that understands RIFF chunks: descending into a chunk
// records its data offset and size; ascending from a chunk that was written
// or marked MMIO_DIRTY corrects its size field and adds the pad byte.
#pragma once

#include <cstdio>  // SEEK_SET, SEEK_CUR, SEEK_END: the mmioSeek origins

#include "platform/win32/types.h"
#include "platform/winmm/mm_result.h"

using FOURCC = DWORD;
using HPSTR = char*;

struct HMMIO__;
using HMMIO = HMMIO__*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<BYTE>(a)) | (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) | (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}
constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;
    DWORD dwDataOffset;
    DWORD dwFlags;
};
using LPMMCKINFO = MMCKINFO*;
using LPCMMCKINFO = const MMCKINFO*;

struct MMIOINFO;  // never used: callers pass null
using LPMMIOINFO = MMIOINFO*;

constexpr UINT MMIOERR_BASE = 256;
constexpr UINT MMIOERR_FILENOTFOUND = MMIOERR_BASE + 1;
constexpr UINT MMIOERR_OUTOFMEMORY = MMIOERR_BASE + 2;
constexpr UINT MMIOERR_CANNOTOPEN = MMIOERR_BASE + 3;
constexpr UINT MMIOERR_CANNOTCLOSE = MMIOERR_BASE + 4;
constexpr UINT MMIOERR_CANNOTREAD = MMIOERR_BASE + 5;
constexpr UINT MMIOERR_CANNOTWRITE = MMIOERR_BASE + 6;
constexpr UINT MMIOERR_CANNOTSEEK = MMIOERR_BASE + 7;
constexpr UINT MMIOERR_CANNOTEXPAND = MMIOERR_BASE + 8;
constexpr UINT MMIOERR_CHUNKNOTFOUND = MMIOERR_BASE + 9;
constexpr UINT MMIOERR_UNBUFFERED = MMIOERR_BASE + 10;
constexpr UINT MMIOERR_PATHNOTFOUND = MMIOERR_BASE + 11;
constexpr UINT MMIOERR_ACCESSDENIED = MMIOERR_BASE + 12;
constexpr UINT MMIOERR_INVALIDFILE = MMIOERR_BASE + 16;

constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_WRITE = 0x00000001;
constexpr DWORD MMIO_READWRITE = 0x00000002;
constexpr DWORD MMIO_RWMODE = 0x00000003;
constexpr DWORD MMIO_CREATE = 0x00001000;
constexpr DWORD MMIO_EXIST = 0x00004000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
constexpr DWORD MMIO_DIRTY = 0x10000000;
constexpr UINT MMIO_EMPTYBUF = 0x0010;
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;
constexpr UINT MMIO_CREATERIFF = 0x0020;
constexpr UINT MMIO_CREATELIST = 0x0040;

// info must be null. Returns null on failure. Files are created owner-only.
// Without MMIO_ALLOCBUF every read and write goes straight to the file.
HMMIO mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD openFlags);
// A file opened for writing is flushed to disk before it is closed.
MMRESULT mmioClose(HMMIO h, UINT flags);
// Bytes read or written, -1 on error.
LONG mmioRead(HMMIO h, HPSTR buffer, LONG count);
LONG mmioWrite(HMMIO h, const char* buffer, LONG count);
// The new position from the start of the file, -1 on error.
LONG mmioSeek(HMMIO h, LONG offset, int origin);
MMRESULT mmioFlush(HMMIO h, UINT flags);
MMRESULT mmioDescend(HMMIO h, LPMMCKINFO ck, LPCMMCKINFO parent, UINT flags);
MMRESULT mmioAscend(HMMIO h, LPMMCKINFO ck, UINT flags);
MMRESULT mmioCreateChunk(HMMIO h, LPMMCKINFO ck, UINT flags);

namespace winmm {
// Test seam: while set, every write, flush and close of a RIFF file opened
// for writing fails as on a full disk (bytes the C library buffered before
// may still reach the file).
void SetRiffWritesFailing(bool failing);
}  // namespace winmm

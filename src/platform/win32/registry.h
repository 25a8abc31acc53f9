// The registry functions the system calls, over HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER, with the Windows names, values and results.
//
// Both roots live in one per-user text file in the REGEDIT4 ".reg" layout:
// $VOCERRA_REGISTRY when set, else $XDG_CONFIG_HOME/vocerra/registry.reg,
// else ~/.config/vocerra/registry.reg. Every change rewrites the file through
// a temporary file and a rename, so a crash never leaves half a file. The
// file is read again whenever it changed on disk, so hand edits count at
// once. A file that exists but cannot be read whole is never written over:
// changes then fail with ERROR_BADDB until it is repaired.
//
// Key and value names compare without regard to case. All functions may be
// called from any thread.
#pragma once

#include <string>

#include "platform/win32/types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline HKEY PredefinedRegKey(DWORD value) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(value))));
}
inline const HKEY HKEY_CURRENT_USER = PredefinedRegKey(0x80000001u);
inline const HKEY HKEY_LOCAL_MACHINE = PredefinedRegKey(0x80000002u);

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Registry results beyond the common error numbers.
constexpr DWORD ERROR_BADDB = 1009;
constexpr DWORD ERROR_KEY_DELETED = 1018;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR subKey, DWORD options, REGSAM samDesired, PHKEY result);
LONG RegCreateKeyExA(HKEY hKey, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
// With data null and dataSize given: the size only. A buffer too small:
// ERROR_MORE_DATA with the needed size. Text values come back as stored,
// terminator included when it was stored.
LONG RegQueryValueExA(HKEY hKey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegSetValueExA(HKEY hKey, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY hKey, LPCSTR valueName);
LONG RegCloseKey(HKEY hKey);

// The file the registry is kept in, as chosen above.
std::string RegistryFilePath();

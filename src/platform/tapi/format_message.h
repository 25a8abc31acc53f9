// FormatMessageA with a module's message table, as the telephony layer uses
// it to describe the service's result codes. The only module with a message
// table here is "tapi32.dll".
#pragma once

#include <cstdarg>

#include "platform/win32/types.h"

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;

// NULL names the running executable; "tapi32.dll" (any case) the telephony
// module; any other name is not loaded (NULL, ERROR_MOD_NOT_FOUND).
HMODULE GetModuleHandleA(LPCSTR moduleName);

// Only FORMAT_MESSAGE_FROM_HMODULE with the telephony module is supported.
// Message numbers: 0xE000 plus the low bits of a LINEERR_ code, 0xF000 plus
// those of a PHONEERR_ code, the low 16 bits of a TAPIERR_ code. Returns the
// number of characters stored (without the NUL), 0 on failure with the
// buffer left as it was.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list* arguments);

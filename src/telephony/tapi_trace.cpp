// The trace lines of telephony events and function results.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "diag/trace.h"
#include "platform/tapi/format_message.h"
#include "telephony/tapi_names.h"
#include "telephony/tapi_session.h"

namespace {

constexpr int kTextSize = 1000;
constexpr char kUnknownError[] = "<Unknown TAPI Error>";

// The message number of a result code in the telephony module's table.
DWORD ErrorMessageNumber(LONG result) {
    DWORD code = static_cast<DWORD>(result);
    if (code > 0xFFFF0000u) return code & 0xFFFF;           // TAPIERR_
    if (code & 0x10000000u) return code + 0x7000F000u;      // PHONEERR_: 0xF000 + low bits
    return code - 0x7FFF2000u;                              // LINEERR_: 0xE000 + low bits
}

}  // namespace

void VM_CTapi::VM_GetEventName(DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, char* name, int size) {
    // LINE_ADDRESSSTATE carries its state in the second parameter.
    DWORD param = dwMsg == LINE_ADDRESSSTATE ? dwParam2 : dwParam1;
    for (const VM_EventNameRow& row : g_aEventNames) {
        if (row.dwMsg != dwMsg || (row.dwParam != 0 && row.dwParam != param)) continue;
        std::snprintf(name, static_cast<size_t>(size), "%s%s%s", row.pszMsg,
                      row.dwParam != 0 ? "--" : "", row.dwParam != 0 ? row.pszParam : "");
        return;
    }
    std::snprintf(name, static_cast<size_t>(size), "%s", "<Unknown>");
}

const char* VM_CTapi::VM_GetErrorName(LONG result) {
    for (const VM_ErrorNameRow& row : g_aErrorNames)
        if (row.code == result) return row.pszName;
    return nullptr;
}

void VM_CTapi::VM_GetErrorDescription(LONG result, char* text, int size) {
    std::snprintf(text, static_cast<size_t>(size), "%s", kUnknownError);
    HMODULE module = GetModuleHandleA("tapi32.dll");
    if (module == nullptr) return;
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, module, ErrorMessageNumber(result), 0, text,
                   static_cast<DWORD>(size), nullptr);
}

void VM_CTapi::VM_TraceEvent(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                             DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    if (!g_bTraceTapi) return;
    char name[kTextSize];
    VM_GetEventName(dwMsg, static_cast<DWORD>(dwParam1), static_cast<DWORD>(dwParam2), name,
                    sizeof name);
    VM_TraceF("TAPI EVENT: dwDevice=0x%x, dwMsg=0x%x (%s), dwUser=0x%" PRIxPTR
              ", p1=0x%x, p2=0x%x, p3=0x%x",
              hDevice, dwMsg, name, dwCallbackInstance, static_cast<DWORD>(dwParam1),
              static_cast<DWORD>(dwParam2), static_cast<DWORD>(dwParam3));
}

LONG VM_CTapi::VM_TraceResult(DWORD reqid, LONG result, const char* text) {
    if (!g_bTraceTapi) return result;
    const DWORD code = static_cast<DWORD>(result);
    if (result >= 0) {
        if (reqid != 0)
            VM_TraceF("%s(reqid=0x%x)=0x%x", text, reqid, code);
        else
            VM_TraceF("%s=0x%x", text, code);
        return result;
    }
    char description[kTextSize];
    VM_GetErrorDescription(result, description, sizeof description);
    const char* name = VM_GetErrorName(result);
    if (name != nullptr && reqid != 0)
        VM_TraceF("%s(reqid=0x%x)=0x%x - %s: %s", text, reqid, code, name, description);
    else if (name != nullptr)
        VM_TraceF("%s=0x%x - %s: %s", text, code, name, description);
    else if (reqid != 0)
        VM_TraceF("%s(reqid=0x%x)=0x%x: %s", text, reqid, code, description);
    else
        VM_TraceF("%s=0x%x: %s", text, code, description);
    return result;
}

LONG VM_CTapi::VM_TraceResultF(DWORD reqid, LONG result, const char* format, ...) {
    if (!g_bTraceTapi) return result;
    char text[kTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return VM_TraceResult(reqid, result, text);
}

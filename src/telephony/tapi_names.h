// Names of the telephony messages (with their state flags) and of the result
// codes, as the trace log writes them.
#pragma once

#include "platform/win32/types.h"

struct VM_EventNameRow {
    DWORD dwMsg;
    DWORD dwParam;  // 0: any parameter
    const char* pszMsg;
    const char* pszParam;  // empty when dwParam is 0
};

struct VM_ErrorNameRow {
    LONG code;
    const char* pszName;
};

constexpr int kEventNameRows = 138;
constexpr int kErrorNameRows = 137;

extern const VM_EventNameRow g_aEventNames[kEventNameRows];
extern const VM_ErrorNameRow g_aErrorNames[kErrorNameRows];

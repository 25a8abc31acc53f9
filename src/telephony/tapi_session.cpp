#include "telephony/tapi_session.h"

#include <algorithm>

#include "diag/trace.h"
#include "telephony/line.h"

HLINEAPP VM_CTapi::s_hLineApp = 0;
DWORD VM_CTapi::s_nNumLines = 0;
std::vector<VM_CLine*> VM_CTapi::s_lines;
VM_ITapiCbk* VM_CTapi::s_pTapiCbk = nullptr;
HINSTANCE VM_CTapi::s_hInstance = nullptr;

bool VM_CTapi::VM_Initialize() {
    if (s_hLineApp != 0) return false;
    s_pTapiCbk = nullptr;
    s_lines.clear();
    LONG result = lineInitialize(&s_hLineApp, s_hInstance, VM_LineCallback, "vocerra.exe", &s_nNumLines);
    VM_TraceResult(0, result, "VM_CTapi::VM_Initialize: lineInitialize()");
    VM_TRACE(g_bTraceTapi, "VM_CTapi::VM_Initialize: hLineApp=0x%x, nNumLines=%d", s_hLineApp,
             static_cast<int>(s_nNumLines));
    if (result != 0 || s_nNumLines == 0) {
        // A failed lineInitialize leaves no session to close.
        if (result != 0) s_hLineApp = 0;
        VM_Shutdown();
        return false;
    }
    return true;
}

bool VM_CTapi::VM_Shutdown() {
    s_nNumLines = 0;
    if (s_hLineApp == 0) return false;
    LONG result = VM_TraceResultF(0, lineShutdown(s_hLineApp),
                                  "VM_CTapi::VM_Shutdown: lineShutdown(hLineApp=0x%x)", s_hLineApp);
    s_hLineApp = 0;
    s_lines.clear();
    return result == 0;
}

void VM_CTapi::VM_RegisterLine(VM_CLine* line) {
    if (line == nullptr) return;
    for (VM_CLine* known : s_lines)
        if (known->VM_GetHandle() == line->VM_GetHandle()) return;
    s_lines.push_back(line);
}

void VM_CTapi::VM_UnregisterLine(VM_CLine* line) { std::erase(s_lines, line); }

void VM_CTapi::VM_LineCallback(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                               DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    VM_TraceEvent(hDevice, dwMsg, dwCallbackInstance, dwParam1, dwParam2, dwParam3);
    if (dwMsg == LINE_LINEDEVSTATE && dwParam1 == LINEDEVSTATE_REINIT) {
        if (s_pTapiCbk != nullptr)
            s_pTapiCbk->VM_OnReinit(static_cast<DWORD>(dwParam2), static_cast<DWORD>(dwParam3));
        return;
    }
    if (dwCallbackInstance == 0) return;
    auto it = std::find_if(s_lines.begin(), s_lines.end(), [dwCallbackInstance](VM_CLine* line) {
        return reinterpret_cast<DWORD_PTR>(line) == dwCallbackInstance;
    });
    if (it == s_lines.end()) return;
    (*it)->VM_OnTapiEvent(hDevice, dwMsg, static_cast<DWORD>(dwParam1),
                          static_cast<DWORD>(dwParam2), static_cast<DWORD>(dwParam3));
}

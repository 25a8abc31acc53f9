// The process's one session with the telephony service: opening and closing
// it, the callback every event arrives through, and the two trace
// operations every telephony call goes through.
//
// The session is opened with lineInitialize, so every event arrives on the
// thread that opened it, from its message loop; the session state and the
// registered lines are used from that thread only and take no lock.
#pragma once

#include <vector>

#include "platform/tapi/tapi.h"

class VM_CLine;

// The session's receiver of service re-initialisation.
class VM_ITapiCbk {
public:
    virtual void VM_OnReinit(DWORD dwParam2, DWORD dwParam3) = 0;
    virtual ~VM_ITapiCbk() = default;
};

class VM_CTapi {
public:
    VM_CTapi() = delete;

    static bool VM_Initialize();
    static bool VM_Shutdown();
    static HLINEAPP VM_GetLineApp() { return s_hLineApp; }
    static DWORD VM_GetNumLines() { return s_nNumLines; }

    static void VM_RegisterLine(VM_CLine* line);
    static void VM_UnregisterLine(VM_CLine* line);
    static const std::vector<VM_CLine*>& VM_GetLines() { return s_lines; }

    // No part of the system registers one; VM_Initialize clears it.
    static void VM_SetTapiCbk(VM_ITapiCbk* receiver) { s_pTapiCbk = receiver; }
    // The instance handle passed to lineInitialize, recorded at start-up.
    static void VM_SetAppInstance(HINSTANCE instance) { s_hInstance = instance; }

    static void VM_LineCallback(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                                DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

    // Traces the result of a telephony function (reqid 0) or a reply, and
    // returns result unchanged.
    static LONG VM_TraceResult(DWORD reqid, LONG result, const char* text);
    // As VM_TraceResult, with the text formatted (only when the trace is on).
    static LONG VM_TraceResultF(DWORD reqid, LONG result, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static void VM_TraceEvent(DWORD hDevice, DWORD dwMsg, DWORD_PTR dwCallbackInstance,
                              DWORD_PTR dwParam1, DWORD_PTR dwParam2, DWORD_PTR dwParam3);

    // "MESSAGE--FLAG", "MESSAGE" or "<Unknown>", as VM_TraceEvent names an
    // event; at most size - 1 characters.
    static void VM_GetEventName(DWORD dwMsg, DWORD dwParam1, DWORD dwParam2, char* name, int size);
    // The service's description of a negative result; "<Unknown TAPI
    // Error>" when it has none.
    static void VM_GetErrorDescription(LONG result, char* text, int size);
    // The constant name of a result code, null when the table has none.
    static const char* VM_GetErrorName(LONG result);

private:
    static HLINEAPP s_hLineApp;
    static DWORD s_nNumLines;
    static std::vector<VM_CLine*> s_lines;
    static VM_ITapiCbk* s_pTapiCbk;
    static HINSTANCE s_hInstance;
};

// The telephony trace lines: names of events and results, their formats, and
// the lines a whole call writes.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <map>

#include "line_harness.h"
#include "platform/tapi/format_message.h"
#include "support/temp_dir.h"
#include "telephony/tapi_names.h"

using linetest::PumpUntil;
using linetest::RecordingOwner;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

class TapiTraceOn {
public:
    TapiTraceOn() : m_saved(g_bTraceTapi) { g_bTraceTapi = 1; }
    ~TapiTraceOn() { g_bTraceTapi = m_saved; }

private:
    int m_saved;
};

// The trace file's lines without their time prefix.
std::vector<std::string> TraceLines(const TempDir& dir) {
    std::string text = ReadFileBytes(dir.file("dbg_err.txt"));
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start + 21, end - start - 21));
    return lines;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[1000];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string EventName(DWORD msg, DWORD p1, DWORD p2 = 0) {
    char name[200];
    VM_CTapi::VM_GetEventName(msg, p1, p2, name, sizeof name);
    return name;
}

TEST(TapiEventNames, NamesTheMessageAndTheExactFlag) {
    EXPECT_EQ(EventName(LINE_CALLSTATE, 0x100), "LINE_CALLSTATE--LINECALLSTATE_CONNECTED");
    EXPECT_EQ(EventName(LINE_CALLINFO, 0x8000), "LINE_CALLINFO--LINECALLINFOSTATE_CALLERID");
    EXPECT_EQ(EventName(LINE_CALLINFO, 0x18000), "<Unknown>") << "two flags match no row";
    EXPECT_EQ(EventName(LINE_REPLY, 0x10025), "LINE_REPLY");
    EXPECT_EQ(EventName(LINE_LINEDEVSTATE, LINEDEVSTATE_REINIT), "LINE_LINEDEVSTATE--LINEDEVSTATE_REINIT");
    EXPECT_EQ(EventName(LINE_MONITORMEDIA, 0x4000), "LINE_MONITORMEDIA--LINEMEDIAMODE_VOICEVIEW");
    EXPECT_EQ(EventName(LINE_MONITORMEDIA, 0x8000), "<Unknown>") << "no 1.4 media mode";
    EXPECT_EQ(EventName(PHONE_STATE, 0x800000), "PHONE_STATE--PHONESTATE_REMOVED");
    EXPECT_EQ(EventName(PHONE_CREATE, 7), "PHONE_CREATE");
    EXPECT_EQ(EventName(21, 0), "<Unknown>");
    // LINE_ADDRESSSTATE is named by its second parameter.
    EXPECT_EQ(EventName(LINE_ADDRESSSTATE, 0, LINEADDRESSSTATE_CAPSCHANGE),
              "LINE_ADDRESSSTATE--LINEADDRESSSTATE_CAPSCHANGE");
    EXPECT_EQ(EventName(LINE_ADDRESSSTATE, LINEADDRESSSTATE_OTHER, 0), "<Unknown>");
}

TEST(TapiEventNames, TableHasOneRowPerFlagInPublishedOrder) {
    std::map<DWORD, int> rows;
    for (const VM_EventNameRow& row : g_aEventNames) rows[row.dwMsg]++;
    const std::map<DWORD, int> expected{{0, 9},  {1, 28}, {2, 16}, {3, 1},  {4, 1},  {5, 1},  {6, 5},
                                        {7, 2},  {8, 25}, {9, 1},  {10, 14}, {11, 1}, {12, 1}, {13, 3},
                                        {14, 1}, {15, 1}, {16, 1}, {17, 1}, {18, 24}, {19, 1}, {20, 1}};
    EXPECT_EQ(rows, expected);
    // Within a message, the flags go up one bit at a time (media modes from 0x2).
    for (int i = 1; i < kEventNameRows; i++) {
        const VM_EventNameRow& prev = g_aEventNames[i - 1];
        const VM_EventNameRow& row = g_aEventNames[i];
        EXPECT_LE(prev.dwMsg, row.dwMsg);
        if (prev.dwMsg == row.dwMsg) {
            EXPECT_EQ(row.dwParam, prev.dwParam << 1) << row.pszParam;
        }
        EXPECT_EQ(row.dwParam == 0, row.pszParam[0] == '\0') << row.pszMsg;
    }
}

TEST(TapiErrorNames, TableCoversThePublishedCodesWithTheirGaps) {
    int tapi = 0, line = 0, phone = 0;
    for (const VM_ErrorNameRow& row : g_aErrorNames) {
        std::string name = row.pszName;
        DWORD code = static_cast<DWORD>(row.code);
        if (name.rfind("TAPIERR_", 0) == 0) tapi++;
        if (name.rfind("LINEERR_", 0) == 0) {
            line++;
            EXPECT_EQ(code & 0xF0000000u, 0x80000000u) << name;
        }
        if (name.rfind("PHONEERR_", 0) == 0) {
            phone++;
            EXPECT_EQ(code & 0xF0000000u, 0x90000000u) << name;
        }
    }
    EXPECT_EQ(tapi, 19);
    EXPECT_EQ(line, 84);
    EXPECT_EQ(phone, 34);
    EXPECT_STREQ(VM_CTapi::VM_GetErrorName(TAPIERR_INVALPOINTER), "TAPIERR_INVALPOINTER");
    EXPECT_STREQ(VM_CTapi::VM_GetErrorName(LINEERR_NOMULTIPLEINSTANCE), "LINEERR_NOMULTIPLEINSTANCE");
    EXPECT_STREQ(VM_CTapi::VM_GetErrorName(PHONEERR_REINIT), "PHONEERR_REINIT");
    EXPECT_EQ(VM_CTapi::VM_GetErrorName(static_cast<LONG>(0x80000004u)), nullptr);
    EXPECT_EQ(VM_CTapi::VM_GetErrorName(static_cast<LONG>(0x80000031u)), nullptr);
    EXPECT_EQ(VM_CTapi::VM_GetErrorName(static_cast<LONG>(0x9000001Eu)), nullptr);
    EXPECT_EQ(VM_CTapi::VM_GetErrorName(static_cast<LONG>(0x80000057u)), nullptr);
}

TEST(TapiErrorNames, EveryNamedCodeHasADescriptionAndOthersDoNot) {
    char text[1000];
    for (const VM_ErrorNameRow& row : g_aErrorNames) {
        if (row.code == 0) continue;  // never negative, never described
        VM_CTapi::VM_GetErrorDescription(row.code, text, sizeof text);
        EXPECT_STRNE(text, "<Unknown TAPI Error>") << row.pszName;
    }
    VM_CTapi::VM_GetErrorDescription(static_cast<LONG>(0x80000031u), text, sizeof text);
    EXPECT_STREQ(text, "<Unknown TAPI Error>");
    VM_CTapi::VM_GetErrorDescription(-19, text, sizeof text);
    EXPECT_STREQ(text, "<Unknown TAPI Error>");
    // Not the telephony module: nothing to describe.
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, GetModuleHandleA(nullptr), 0xE001, 0, text,
                             sizeof text, nullptr),
              0u);
}

TEST(TapiTrace, ResultFormatsByKindOfResult) {
    TempDir dir(true);
    TapiTraceOn on;
    EXPECT_EQ(VM_CTapi::VM_TraceResult(0, LINEERR_STRUCTURETOOSMALL, "f()"), LINEERR_STRUCTURETOOSMALL);
    EXPECT_EQ(VM_CTapi::VM_TraceResult(0, 0x10025, "g()"), 0x10025);
    VM_CTapi::VM_TraceResult(0x10025, 0, "h()");
    VM_CTapi::VM_TraceResult(0x7, LINEERR_OPERATIONFAILED, "i()");
    VM_CTapi::VM_TraceResult(0, static_cast<LONG>(0x80000031u), "j()");
    VM_CTapi::VM_TraceResult(0x8, static_cast<LONG>(0x80000031u), "k()");
    VM_CTapi::VM_TraceResult(0, TAPIERR_DROPPED, "l()");
    VM_CTapi::VM_TraceResult(0, PHONEERR_NOMEM, "m()");
    EXPECT_EQ(TraceLines(dir),
              (std::vector<std::string>{
                  "f()=0x8000004d - LINEERR_STRUCTURETOOSMALL: The structure is too small for the information.",
                  "g()=0x10025",
                  "h()(reqid=0x10025)=0x0",
                  "i()(reqid=0x7)=0x80000048 - LINEERR_OPERATIONFAILED: The operation failed for an unspecified reason.",
                  "j()=0x80000031: <Unknown TAPI Error>",
                  "k()(reqid=0x8)=0x80000031: <Unknown TAPI Error>",
                  "l()=0xffffffff - TAPIERR_DROPPED: The call was dropped.",
                  "m()=0x9000001a - PHONEERR_NOMEM: There is not enough memory for the request.",
              }));
}

TEST(TapiTrace, EventLinePrintsTheCallbackInstanceInFull) {
    TempDir dir(true);
    TapiTraceOn on;
    const DWORD_PTR instance = static_cast<DWORD_PTR>(0x7f12345678abULL);
    VM_CTapi::VM_TraceEvent(0x20001, LINE_CALLSTATE, instance, LINECALLSTATE_OFFERING, 1, 4);
    EXPECT_EQ(TraceLines(dir), (std::vector<std::string>{
                                   "TAPI EVENT: dwDevice=0x20001, dwMsg=0x2 (LINE_CALLSTATE--LINECALLSTATE_OFFERING), "
                                   "dwUser=0x7f12345678ab, p1=0x2, p2=0x1, p3=0x4"}));
}

TEST(TapiTrace, SwitchedOffWritesNothing) {
    TempDir dir(true);
    int saved = g_bTraceTapi;
    g_bTraceTapi = 0;
    VM_CTapi::VM_TraceResult(0, LINEERR_NOMEM, "f()");
    VM_CTapi::VM_TraceEvent(1, LINE_REPLY, 0, 1, 0, 0);
    g_bTraceTapi = saved;
    EXPECT_FALSE(testsupport::FileExists(dir.file("dbg_err.txt")));
}

class TapiTraceLifecycle : public linetest::SimLineTest {};

// A whole call with the telephony trace on writes exactly these lines.
TEST_F(TapiTraceLifecycle, WholeCallWritesTheExpectedLines) {
    TempDir dir(true);
    TapiTraceOn on;
    UseLines({simline::LineConfig{}});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    const HLINEAPP app = VM_CTapi::VM_GetLineApp();
    RecordingOwner owner;
    auto line = OpenLine(&owner);
    const uintptr_t pLine = reinterpret_cast<uintptr_t>(line);
    const HLINE hLine = line->VM_GetHandle();

    auto remote = Service().OfferCall(0, simline::CallerId{"5551234", std::nullopt, LINECALLPARTYID_ADDRESS});
    ASSERT_TRUE(PumpUntil([&] { return owner.states.size() == 1; }));
    VM_CCall* call = owner.calls[0].get();
    const uintptr_t pCall = reinterpret_cast<uintptr_t>(call);
    const HCALL hCall = call->VM_GetHandle();
    ASSERT_TRUE(remote->Ring());
    ASSERT_TRUE(PumpUntil([&] { return owner.ringCounts.size() == 1; }));
    ASSERT_TRUE(call->VM_Answer());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_CONNECTED); }));
    ASSERT_TRUE(call->VM_MonitorDigits(LINEDIGITMODE_DTMF));
    ASSERT_TRUE(remote->PressDigit('5'));
    ASSERT_TRUE(PumpUntil([&] { return owner.digits.size() == 1; }));
    ASSERT_TRUE(remote->HangUp());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_DISCONNECTED); }));
    ASSERT_TRUE(call->VM_Drop());
    ASSERT_TRUE(PumpUntil([&] { return owner.HasState(LINECALLSTATE_IDLE); }));
    ASSERT_EQ(owner.replies.size(), 2u);
    const DWORD answerId = owner.replies[0].reqid;
    const DWORD dropId = owner.replies[1].reqid;
    owner.calls.clear();
    owner.line.reset();
    VM_CTapi::VM_Shutdown();

    const DWORD states = simline::LineConfig{}.lineStates;
    auto event = [&](DWORD device, DWORD msg, const char* name, DWORD p1, DWORD p2, DWORD p3) {
        return Format("TAPI EVENT: dwDevice=0x%x, dwMsg=0x%x (%s), dwUser=0x%" PRIxPTR ", p1=0x%x, p2=0x%x, p3=0x%x",
                      device, msg, name, pLine, p1, p2, p3);
    };
    const std::vector<std::string> expected{
        "VM_CTapi::VM_Initialize: lineInitialize()=0x0",
        Format("VM_CTapi::VM_Initialize: hLineApp=0x%x, nNumLines=1", app),
        "VM_CLine::VM_CLine(lineid=0x0)",
        "VM_CLine::VM_NegotiateAPIVersion: lineNegotiateAPIVersion(id=0x0, ver=0x10004)=0x0",
        Format("VM_CLine::VM_Open: lineOpen(lineid=0x0, This=0x%" PRIxPTR ", priv=0x6, media=0xa)=0x0", pLine),
        Format("VM_CLine::VM_Open: lineSetStatusMessages(hLine=0x%x, states=0x%x)=0x0", hLine, states),
        event(hCall, 2, "LINE_CALLSTATE--LINECALLSTATE_OFFERING", 0x2, 0x1, 0x4),
        Format("VM_CLine::VM_OnCallState : hCall=0x%x, pCall=0x0, state=0x2, priv=0x4", hCall),
        "VM_CLine::VM_OnCallState : dwOrigin=0x80, dwState=0x2, pCall=0x0",
        Format("VM_CCall::VM_CCall(pLine=0x%" PRIxPTR ", hCall=0x%x, idAddr=0x0)", pLine, hCall),
        event(hLine, 8, "LINE_LINEDEVSTATE--LINEDEVSTATE_RINGING", 0x2, 0x1, 0x1),
        Format("VM_CCall::VM_Answer: lineAnswer(hCall=0x%x)=0x%x", hCall, answerId),
        event(0, 12, "LINE_REPLY", answerId, 0, 0),
        Format("VM_CLine::VM_OnReply: reqid=0x%x, r=0x0", answerId),
        Format("VM_CCall::VM_OnReply: VM_CALLREQUEST_ANSWER(reqid=0x%x)=0x0", answerId),
        event(hCall, 2, "LINE_CALLSTATE--LINECALLSTATE_CONNECTED", 0x100, 0, 0),
        Format("VM_CLine::VM_OnCallState : hCall=0x%x, pCall=0x%" PRIxPTR ", state=0x100, priv=0x0", hCall, pCall),
        Format("VM_CCall::VM_MonitorDigits: lineMonitorDigits(hCall=0x%x, dwDigitsModes=0x2)=0x0", hCall),
        event(hCall, 9, "LINE_MONITORDIGITS", '5', 0x2, 0),
        event(hCall, 2, "LINE_CALLSTATE--LINECALLSTATE_DISCONNECTED", 0x4000, 0x1, 0),
        Format("VM_CLine::VM_OnCallState : hCall=0x%x, pCall=0x%" PRIxPTR ", state=0x4000, priv=0x0", hCall, pCall),
        Format("VM_CCall::VM_Drop: lineDrop(hCall=0x%x)=0x%x", hCall, dropId),
        event(0, 12, "LINE_REPLY", dropId, 0, 0),
        Format("VM_CLine::VM_OnReply: reqid=0x%x, r=0x0", dropId),
        Format("VM_CCall::VM_OnReply: VM_CALLREQUEST_DROP(reqid=0x%x)=0x0", dropId),
        event(hCall, 2, "LINE_CALLSTATE--LINECALLSTATE_IDLE", 0x1, 0, 0),
        Format("VM_CLine::VM_OnCallState : hCall=0x%x, pCall=0x%" PRIxPTR ", state=0x1, priv=0x0", hCall, pCall),
        Format("VM_CCall::VM_Deallocate: lineDeallocateCall(hCall=0x%x)=0x0", hCall),
        Format("VM_CCall::~VM_CCall(pLine=0x%" PRIxPTR ", hCall=0x0, idAddr=0x0)", pLine),
        Format("VM_CLine::VM_Close: lineClose(m_hLine=0x%x)=0x0", hLine),
        "VM_CLine::~VM_CLine(lineid=0x0)",
        Format("VM_CTapi::VM_Shutdown: lineShutdown(hLineApp=0x%x)=0x0", app),
    };
    EXPECT_EQ(TraceLines(dir), expected);
}

TEST_F(TapiTraceLifecycle, IdleCallNobodyTookIsDeallocatedByTheLineOnce) {
    TempDir dir(true);
    TapiTraceOn on;
    simline::LineConfig config;
    config.idleAfterRemoteHangUp = true;
    RecordingOwner owner;
    owner.createCalls = false;
    auto remote = StartCall(&owner, {config});
    ASSERT_TRUE(remote->HangUp());
    ASSERT_TRUE(PumpUntil([&] { return remote->Released(); }));
    linetest::PumpPending();
    int deallocations = 0;
    for (const std::string& l : TraceLines(dir))
        if (l.find("VM_CLine::VM_OnCallState : lineDeallocateCall(hCall=0x") == 0) {
            deallocations++;
            EXPECT_EQ(l.substr(l.size() - 5), ")=0x0") << l;
        }
    EXPECT_EQ(deallocations, 1);
}

}  // namespace

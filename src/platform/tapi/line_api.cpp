// The line functions over the installed line services: sessions bound to the
// thread that opened them, opened lines, per-open call handles, request ids,
// and event delivery through a hidden message window per session.
//
// Several services may be installed at once. Their devices are numbered in
// one sequence, in the order the services were installed; a call id of the
// API layer carries the service's slot in its top byte, so the services'
// own call ids never meet.
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <vector>
#include <string_view>
#include <strings.h>

#include "platform/tapi/line_provider.h"
#include "platform/tapi/tapi.h"
#include "platform/tapi/var_layout.h"
#include "platform/win32/messages.h"
#include "platform/win32/threads.h"

namespace {

using tapisp::ServiceLock;
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr UINT kEventMessage = WM_USER + 0x154;
constexpr char kWindowClass[] = "VocerraLineEvents";
// The API layer fills the 1.4 structures only.
constexpr DWORD kApiVersion = TAPI_VERSION_1_4;

struct Event {
    DWORD hDevice;
    DWORD msg;
    DWORD_PTR instance;
    DWORD_PTR param1;
    DWORD_PTR param2;
    DWORD_PTR param3;
};

struct Session {
    LINECALLBACK callback;
    HWND hwnd;
    std::deque<Event> events;
};

struct OpenLine {
    HLINEAPP app;
    DWORD device;
    DWORD_PTR instance;
    DWORD privileges;
    DWORD mediaModes;
    DWORD lineStates = 0;
};

struct CallHandle {
    HLINE line;
    DWORD callId;
    DWORD privilege;
    DWORD digitModes = 0;
    bool stateReported = false;
};

struct PendingRequest {
    HLINEAPP app;
    HLINE line;
};

// A service's device or call, in the service's own numbering.
struct Route {
    tapisp::LineProvider* provider = nullptr;
    DWORD local = 0;
};

constexpr int kSlotShift = 24;
constexpr DWORD kLocalMask = (DWORD{1} << kSlotShift) - 1;

class LineApi;

// Turns one service's device and call ids into the API layer's.
class ProviderSink final : public tapisp::LineEventSink {
public:
    ProviderSink(LineApi& api, DWORD slot) : m_api(api), m_slot(slot) {}
    // A removed service that still reports is not heard.
    void Retire() { m_retired = true; }
    void LineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3) override;
    void NewCall(DWORD deviceId, DWORD callId) override;
    void CallState(DWORD callId, DWORD state, DWORD mode) override;
    void CallInfo(DWORD callId, DWORD infoStates) override;
    void Digit(DWORD callId, DWORD digit, DWORD digitMode) override;
    void LineClosed(DWORD deviceId) override;
    void CompleteRequest(DWORD requestId, LONG result) override;

private:
    DWORD Device(DWORD local) const;
    DWORD Call(DWORD local) const { return (m_slot << kSlotShift) | (local & kLocalMask); }

    LineApi& m_api;
    DWORD m_slot;
    bool m_retired = false;
};

struct Slot {
    tapisp::LineProvider* provider = nullptr;
    std::unique_ptr<ProviderSink> sink;
};

class LineApi {
public:
    // A removed service's slot is reused; its call handles go with it.
    std::vector<Slot> slots;
    // Sinks of removed services, kept because a service may hold on to one.
    std::vector<std::unique_ptr<ProviderSink>> retiredSinks;
    std::map<HLINEAPP, Session> sessions;
    std::map<HLINE, OpenLine> lines;
    std::map<HCALL, CallHandle> calls;
    std::map<DWORD, PendingRequest> requests;

    DWORD NewAppHandle() { return m_nextApp++; }
    DWORD NewLineHandle() { return m_nextLine++; }
    DWORD NewCallHandle() { return m_nextCall++; }
    DWORD NewRequestId() {
        DWORD id = m_nextRequest++;
        if (m_nextRequest > 0x7FFFFFFF) m_nextRequest = 1;
        return id;
    }

    void Queue(HLINEAPP app, const Event& event) {
        auto it = sessions.find(app);
        if (it == sessions.end()) return;
        it->second.events.push_back(event);
        PostMessageA(it->second.hwnd, kEventMessage, app, 0);
    }

    void QueueToLine(HLINE hLine, DWORD hDevice, DWORD msg, DWORD_PTR p1, DWORD_PTR p2,
                     DWORD_PTR p3) {
        auto it = lines.find(hLine);
        if (it == lines.end()) return;
        Queue(it->second.app, Event{hDevice, msg, it->second.instance, p1, p2, p3});
    }

    DWORD NumDevices() const {
        DWORD n = 0;
        for (const Slot& slot : slots)
            if (slot.provider != nullptr) n += slot.provider->NumDevices();
        return n;
    }

    DWORD FirstDevice(DWORD slotIndex) const {
        DWORD first = 0;
        for (DWORD i = 0; i < slotIndex && i < slots.size(); i++)
            if (slots[i].provider != nullptr) first += slots[i].provider->NumDevices();
        return first;
    }

    Route Device(DWORD device) const {
        for (const Slot& slot : slots) {
            if (slot.provider == nullptr) continue;
            DWORD n = slot.provider->NumDevices();
            if (device < n) return Route{slot.provider, device};
            device -= n;
        }
        return Route{};
    }

    Route Call(DWORD callId) const {
        DWORD slot = callId >> kSlotShift;
        if (slot >= slots.size()) return Route{};
        return Route{slots[slot].provider, callId & kLocalMask};
    }

    bool IsLastHandle(DWORD callId) const {
        for (const auto& entry : calls)
            if (entry.second.callId == callId) return false;
        return true;
    }

    int OwnerCount(DWORD callId) const {
        int n = 0;
        for (const auto& entry : calls)
            if (entry.second.callId == callId && entry.second.privilege == LINECALLPRIVILEGE_OWNER) n++;
        return n;
    }

    void ReleaseHandle(HCALL hCall) {
        DWORD callId = calls[hCall].callId;
        calls.erase(hCall);
        Route route = Call(callId);
        if (route.provider != nullptr && IsLastHandle(callId)) route.provider->ReleaseCall(route.local);
    }

    // Everything an open holds goes with it: its call handles and the
    // routing of its outstanding replies.
    void CloseOpen(HLINE hLine) {
        for (auto it = calls.begin(); it != calls.end();) {
            HCALL h = it->first;
            ++it;
            if (calls[h].line == hLine) ReleaseHandle(h);
        }
        for (auto it = requests.begin(); it != requests.end();)
            it = it->second.line == hLine ? requests.erase(it) : std::next(it);
        DWORD device = lines[hLine].device;
        lines.erase(hLine);
        Route route = Device(device);
        if (route.provider != nullptr) route.provider->Close(route.local);
    }

    void LineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3) {
        for (const auto& [hLine, open] : lines) {
            if (open.device != deviceId) continue;
            if (state != LINEDEVSTATE_REINIT && (open.lineStates & state) == 0) continue;
            Queue(open.app, Event{hLine, LINE_LINEDEVSTATE, open.instance, state, param2, param3});
        }
    }

    void LineClosed(DWORD deviceId) {
        for (auto it = lines.begin(); it != lines.end();) {
            HLINE h = it->first;
            ++it;
            if (lines[h].device != deviceId) continue;
            QueueToLine(h, h, LINE_CLOSE, 0, 0, 0);
            CloseOpen(h);
        }
    }

    void NewCall(DWORD deviceId, DWORD callId) {
        for (const auto& [hLine, open] : lines) {
            if (open.device != deviceId) continue;
            DWORD privilege = 0;
            if (open.privileges & LINECALLPRIVILEGE_OWNER)
                privilege = LINECALLPRIVILEGE_OWNER;
            else if (open.privileges & LINECALLPRIVILEGE_MONITOR)
                privilege = LINECALLPRIVILEGE_MONITOR;
            if (privilege == 0) continue;
            calls[NewCallHandle()] = CallHandle{hLine, callId, privilege};
        }
    }

    void CallState(DWORD callId, DWORD state, DWORD mode) {
        for (auto& [hCall, handle] : calls) {
            if (handle.callId != callId) continue;
            // The first state an application sees carries its privilege.
            DWORD privilege = handle.stateReported ? 0 : handle.privilege;
            handle.stateReported = true;
            QueueToLine(handle.line, hCall, LINE_CALLSTATE, state, mode, privilege);
        }
    }

    void CallInfo(DWORD callId, DWORD infoStates) {
        for (const auto& [hCall, handle] : calls)
            if (handle.callId == callId) QueueToLine(handle.line, hCall, LINE_CALLINFO, infoStates, 0, 0);
    }

    void Digit(DWORD callId, DWORD digit, DWORD digitMode) {
        for (const auto& [hCall, handle] : calls) {
            if (handle.callId != callId || (handle.digitModes & digitMode) == 0) continue;
            // The detection time in dwParam3 came with version 2.0; 1.4 has 0.
            QueueToLine(handle.line, hCall, LINE_MONITORDIGITS, digit, digitMode, 0);
        }
    }

    void CompleteRequest(DWORD requestId, LONG result) {
        auto it = requests.find(requestId);
        if (it == requests.end()) return;
        QueueToLine(it->second.line, 0, LINE_REPLY, requestId, static_cast<DWORD>(result), 0);
        requests.erase(it);
    }

private:
    DWORD m_nextApp = 0x100;
    DWORD m_nextLine = 0x10000;
    DWORD m_nextCall = 0x20000;
    DWORD m_nextRequest = 0x10001;
};

LineApi& Api() {
    static LineApi api;
    return api;
}

DWORD ProviderSink::Device(DWORD local) const { return m_api.FirstDevice(m_slot) + local; }
void ProviderSink::LineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3) {
    if (!m_retired) m_api.LineDevState(Device(deviceId), state, param2, param3);
}
void ProviderSink::NewCall(DWORD deviceId, DWORD callId) {
    if (!m_retired) m_api.NewCall(Device(deviceId), Call(callId));
}
void ProviderSink::CallState(DWORD callId, DWORD state, DWORD mode) {
    if (!m_retired) m_api.CallState(Call(callId), state, mode);
}
void ProviderSink::CallInfo(DWORD callId, DWORD infoStates) {
    if (!m_retired) m_api.CallInfo(Call(callId), infoStates);
}
void ProviderSink::Digit(DWORD callId, DWORD digit, DWORD digitMode) {
    if (!m_retired) m_api.Digit(Call(callId), digit, digitMode);
}
void ProviderSink::LineClosed(DWORD deviceId) {
    if (!m_retired) m_api.LineClosed(Device(deviceId));
}
// Request ids are the API layer's own; a service only hands them back.
void ProviderSink::CompleteRequest(DWORD requestId, LONG result) {
    if (!m_retired) m_api.CompleteRequest(requestId, result);
}

LRESULT EventWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kEventMessage) return DefWindowProcA(hwnd, msg, wParam, lParam);
    Event event{};
    LINECALLBACK callback = nullptr;
    {
        Lock lock(ServiceLock());
        auto it = Api().sessions.find(static_cast<HLINEAPP>(wParam));
        if (it == Api().sessions.end() || it->second.events.empty()) return 0;
        event = it->second.events.front();
        it->second.events.pop_front();
        callback = it->second.callback;
    }
    // Without the lock: the callback calls line functions, and other threads
    // (the remote party, a worker monitoring digits) must not wait for it.
    callback(event.hDevice, event.msg, event.instance, event.param1, event.param2, event.param3);
    return 0;
}

HWND CreateEventWindow() {
    // Registered once per process, whichever thread opens the first session.
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = EventWindowProc;
        wc.lpszClassName = kWindowClass;
        return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return nullptr;
    // The thread's queue must exist before the first event is posted to it.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    return CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                           nullptr);
}

bool ValidDevice(DWORD deviceId) { return deviceId < Api().NumDevices(); }

// Handles outlive a service that was removed; they then name nothing.
const CallHandle* FindCall(HCALL hCall) {
    auto it = Api().calls.find(hCall);
    if (it == Api().calls.end() || Api().Call(it->second.callId).provider == nullptr) return nullptr;
    return &it->second;
}

DWORD DeviceOfLine(HLINE hLine) { return Api().lines.at(hLine).device; }

DWORD CurrentCallState(DWORD callId) {
    LINECALLSTATUS status{};
    Route route = Api().Call(callId);
    if (route.provider == nullptr || route.provider->GetCallStatus(route.local, &status) != 0) return 0;
    return status.dwCallState;
}

template <typename Fn>
LONG AsyncRequest(HCALL hCall, Fn start) {
    Lock lock(ServiceLock());
    const CallHandle* handle = FindCall(hCall);
    if (handle == nullptr) return LINEERR_INVALCALLHANDLE;
    if (handle->privilege != LINECALLPRIVILEGE_OWNER) return LINEERR_NOTOWNER;
    Route route = Api().Call(handle->callId);
    DWORD id = Api().NewRequestId();
    Api().requests[id] = PendingRequest{Api().lines.at(handle->line).app, handle->line};
    LONG result = start(route, id);
    if (result < 0) {
        Api().requests.erase(id);
        return result;
    }
    return static_cast<LONG>(id);
}

}  // namespace

namespace tapisp {

std::recursive_mutex& ServiceLock() {
    static std::recursive_mutex mutex;
    return mutex;
}

void AddLineProvider(LineProvider* provider) {
    Lock lock(ServiceLock());
    if (provider == nullptr || HasLineProvider(provider)) return;
    auto& slots = Api().slots;
    DWORD index = 0;
    while (index < slots.size() && slots[index].provider != nullptr) index++;
    if (index == slots.size()) slots.emplace_back();
    slots[index].provider = provider;
    slots[index].sink = std::make_unique<ProviderSink>(Api(), index);
    provider->Attach(slots[index].sink.get());
}

void RemoveLineProvider(LineProvider* provider) {
    Lock lock(ServiceLock());
    LineApi& api = Api();
    for (DWORD index = 0; index < api.slots.size(); index++) {
        Slot& slot = api.slots[index];
        if (slot.provider != provider || provider == nullptr) continue;
        // The handles of its calls name nothing from now on, whichever
        // service takes the slot next.
        for (auto it = api.calls.begin(); it != api.calls.end();)
            it = (it->second.callId >> kSlotShift) == index ? api.calls.erase(it) : std::next(it);
        slot.provider = nullptr;
        slot.sink->Retire();
        api.retiredSinks.push_back(std::move(slot.sink));
    }
}

bool HasLineProvider(LineProvider* provider) {
    Lock lock(ServiceLock());
    for (const Slot& slot : Api().slots)
        if (slot.provider == provider) return true;
    return false;
}

}  // namespace tapisp

LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCSTR,
                    LPDWORD lpdwNumDevs) {
    if (lphLineApp == nullptr || lpfnCallback == nullptr || lpdwNumDevs == nullptr)
        return LINEERR_INVALPOINTER;
    HWND hwnd = CreateEventWindow();
    if (hwnd == nullptr) return LINEERR_OPERATIONFAILED;
    Lock lock(ServiceLock());
    HLINEAPP app = Api().NewAppHandle();
    Api().sessions[app] = Session{lpfnCallback, hwnd, {}};
    *lphLineApp = app;
    *lpdwNumDevs = Api().NumDevices();
    return 0;
}

LONG lineShutdown(HLINEAPP hLineApp) {
    HWND hwnd;
    {
        Lock lock(ServiceLock());
        auto it = Api().sessions.find(hLineApp);
        if (it == Api().sessions.end()) return LINEERR_INVALAPPHANDLE;
        for (auto line = Api().lines.begin(); line != Api().lines.end();) {
            HLINE h = line->first;
            ++line;
            if (Api().lines[h].app == hLineApp) Api().CloseOpen(h);
        }
        hwnd = it->second.hwnd;
        Api().sessions.erase(it);
    }
    DestroyWindow(hwnd);
    return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                             DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                             LPLINEEXTENSIONID lpExtensionID) {
    Lock lock(ServiceLock());
    if (Api().sessions.count(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
    if (!ValidDevice(dwDeviceID)) return LINEERR_BADDEVICEID;
    if (lpdwAPIVersion == nullptr || lpExtensionID == nullptr) return LINEERR_INVALPOINTER;
    if (dwAPILowVersion > dwAPIHighVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwAPILowVersion > kApiVersion || dwAPIHighVersion < kApiVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    DWORD version = 0;
    Route route = Api().Device(dwDeviceID);
    LONG result = route.provider->NegotiateVersion(route.local, kApiVersion, kApiVersion, &version);
    if (result != 0) return result;
    *lpdwAPIVersion = version;
    std::memset(lpExtensionID, 0, sizeof *lpExtensionID);
    return 0;
}

LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
              DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
              DWORD dwMediaModes, const void*) {
    Lock lock(ServiceLock());
    if (Api().sessions.count(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
    if (!ValidDevice(dwDeviceID)) return LINEERR_BADDEVICEID;
    if (lphLine == nullptr) return LINEERR_INVALPOINTER;
    if (dwAPIVersion != kApiVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwExtVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    const DWORD ownerMonitor = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR;
    if (dwPrivileges != LINECALLPRIVILEGE_NONE && (dwPrivileges & ~ownerMonitor) != 0)
        return LINEERR_INVALPRIVSELECT;
    if (dwPrivileges == 0) return LINEERR_INVALPRIVSELECT;
    Route route = Api().Device(dwDeviceID);
    if (dwPrivileges & LINECALLPRIVILEGE_OWNER) {
        DWORD supported = route.provider->GetLimits(route.local).mediaModes;
        if (dwMediaModes == 0 || (dwMediaModes & ~supported) != 0)
            return LINEERR_INVALMEDIAMODE;
    }
    LONG result = route.provider->Open(route.local, dwPrivileges, dwMediaModes);
    if (result != 0) return result;
    HLINE hLine = Api().NewLineHandle();
    Api().lines[hLine] = OpenLine{hLineApp, dwDeviceID, dwCallbackInstance, dwPrivileges, dwMediaModes};
    *lphLine = hLine;
    return 0;
}

LONG lineClose(HLINE hLine) {
    Lock lock(ServiceLock());
    if (Api().lines.count(hLine) == 0) return LINEERR_INVALLINEHANDLE;
    Api().CloseOpen(hLine);
    return 0;
}

LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    Lock lock(ServiceLock());
    auto it = Api().lines.find(hLine);
    if (it == Api().lines.end()) return LINEERR_INVALLINEHANDLE;
    Route route = Api().Device(it->second.device);
    if (route.provider == nullptr) return LINEERR_NODRIVER;
    DWORD supported = route.provider->GetLimits(route.local).lineStates;
    if ((dwLineStates & ~supported) != 0) return LINEERR_INVALLINESTATE;
    // The simulated addresses report no address states.
    if (dwAddressStates != 0) return LINEERR_INVALADDRESSSTATE;
    it->second.lineStates = dwLineStates;
    return 0;
}

LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                    LPLINEDEVCAPS lpLineDevCaps) {
    Lock lock(ServiceLock());
    if (Api().sessions.count(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
    if (!ValidDevice(dwDeviceID)) return LINEERR_BADDEVICEID;
    if (lpLineDevCaps == nullptr) return LINEERR_INVALPOINTER;
    if (dwAPIVersion != kApiVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwExtVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    tapisp::DevCapsData data;
    Route route = Api().Device(dwDeviceID);
    LONG result = route.provider->GetDevCaps(route.local, &data);
    if (result != 0) return result;
    data.caps.dwStringFormat = STRINGFORMAT_ASCII;
    std::string name = data.lineName;
    if (!name.empty()) name.push_back('\0');
    return tapisp::WriteVarStruct(
        lpLineDevCaps, &data.caps, sizeof data.caps,
        {{offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset), name},
         {offsetof(LINEDEVCAPS, dwDevSpecificSize), offsetof(LINEDEVCAPS, dwDevSpecificOffset), data.devSpecific}});
}

LONG lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID,
                        DWORD dwAPIVersion, DWORD dwExtVersion, LPLINEADDRESSCAPS lpAddressCaps) {
    Lock lock(ServiceLock());
    if (Api().sessions.count(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
    if (!ValidDevice(dwDeviceID)) return LINEERR_BADDEVICEID;
    if (lpAddressCaps == nullptr) return LINEERR_INVALPOINTER;
    if (dwAPIVersion != kApiVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwExtVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    LINEADDRESSCAPS caps{};
    Route route = Api().Device(dwDeviceID);
    LONG result = route.provider->GetAddressCaps(route.local, dwAddressID, &caps);
    if (result != 0) return result;
    caps.dwLineDeviceID = dwDeviceID;
    return tapisp::WriteVarStruct(lpAddressCaps, &caps, sizeof caps, {});
}

LONG lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo) {
    Lock lock(ServiceLock());
    const CallHandle* handle = FindCall(hCall);
    if (handle == nullptr) return LINEERR_INVALCALLHANDLE;
    if (lpCallInfo == nullptr) return LINEERR_INVALPOINTER;
    tapisp::CallInfoData data;
    Route route = Api().Call(handle->callId);
    LONG result = route.provider->GetCallInfo(route.local, &data);
    if (result != 0) return result;
    data.info.hLine = handle->line;
    data.info.dwLineDeviceID = DeviceOfLine(handle->line);
    data.info.dwMonitorDigitModes = handle->digitModes;
    std::string number = data.callerIdPresent ? data.callerId + '\0' : std::string();
    std::string name = data.callerNamePresent ? data.callerName + '\0' : std::string();
    return tapisp::WriteVarStruct(
        lpCallInfo, &data.info, sizeof data.info,
        {{offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset), number},
         {offsetof(LINECALLINFO, dwCallerIDNameSize), offsetof(LINECALLINFO, dwCallerIDNameOffset),
          name}});
}

LONG lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus) {
    Lock lock(ServiceLock());
    const CallHandle* handle = FindCall(hCall);
    if (handle == nullptr) return LINEERR_INVALCALLHANDLE;
    if (lpCallStatus == nullptr) return LINEERR_INVALPOINTER;
    LINECALLSTATUS status{};
    Route route = Api().Call(handle->callId);
    LONG result = route.provider->GetCallStatus(route.local, &status);
    if (result != 0) return result;
    status.dwCallPrivilege = handle->privilege;
    return tapisp::WriteVarStruct(lpCallStatus, &status, sizeof status, {});
}

LONG lineGetID(HLINE hLine, DWORD, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
               LPCSTR lpszDeviceClass) {
    Lock lock(ServiceLock());
    DWORD device = 0;
    DWORD callId = 0;
    if (dwSelect == LINECALLSELECT_LINE) {
        if (Api().lines.count(hLine) == 0) return LINEERR_INVALLINEHANDLE;
        device = DeviceOfLine(hLine);
    } else if (dwSelect == LINECALLSELECT_CALL) {
        const CallHandle* handle = FindCall(hCall);
        if (handle == nullptr) return LINEERR_INVALCALLHANDLE;
        device = DeviceOfLine(handle->line);
        callId = handle->callId;
    } else {
        return LINEERR_INVALCALLSELECT;
    }
    if (lpDeviceID == nullptr || lpszDeviceClass == nullptr) return LINEERR_INVALPOINTER;
    Route route = Api().Device(device);
    if (route.provider == nullptr) return LINEERR_NODRIVER;
    bool waveIn = strcasecmp(lpszDeviceClass, "wave/in") == 0;
    if (!waveIn && strcasecmp(lpszDeviceClass, "wave/out") != 0) return LINEERR_INVALDEVICECLASS;
    DWORD id = 0;
    LONG result = route.provider->GetWaveId(route.local, callId & kLocalMask, waveIn, &id);
    if (result != 0) return result;
    VARSTRING fixed{};
    fixed.dwStringFormat = STRINGFORMAT_BINARY;
    char bytes[sizeof id];
    std::memcpy(bytes, &id, sizeof id);
    return tapisp::WriteVarStruct(lpDeviceID, &fixed, sizeof fixed,
                                  {{offsetof(VARSTRING, dwStringSize),
                                    offsetof(VARSTRING, dwStringOffset),
                                    std::string_view(bytes, sizeof bytes)}});
}

LONG lineAccept(HCALL hCall, LPCSTR, DWORD) {
    return AsyncRequest(hCall, [](Route route, DWORD id) { return route.provider->Accept(route.local, id); });
}

LONG lineAnswer(HCALL hCall, LPCSTR, DWORD) {
    return AsyncRequest(hCall, [](Route route, DWORD id) { return route.provider->Answer(route.local, id); });
}

LONG lineDrop(HCALL hCall, LPCSTR, DWORD) {
    return AsyncRequest(hCall, [](Route route, DWORD id) { return route.provider->Drop(route.local, id); });
}

LONG lineDeallocateCall(HCALL hCall) {
    Lock lock(ServiceLock());
    const CallHandle* handle = FindCall(hCall);
    if (handle == nullptr) return LINEERR_INVALCALLHANDLE;
    // The only owner may not walk away from a call that is still up.
    if (handle->privilege == LINECALLPRIVILEGE_OWNER && Api().OwnerCount(handle->callId) == 1 &&
        CurrentCallState(handle->callId) != LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    Api().ReleaseHandle(hCall);
    return 0;
}

LONG lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) {
    Lock lock(ServiceLock());
    auto it = Api().calls.find(hCall);
    if (it == Api().calls.end() || FindCall(hCall) == nullptr) return LINEERR_INVALCALLHANDLE;
    if (dwCallPrivilege != LINECALLPRIVILEGE_OWNER && dwCallPrivilege != LINECALLPRIVILEGE_MONITOR)
        return LINEERR_INVALCALLPRIVILEGE;
    CallHandle& handle = it->second;
    if (handle.privilege == LINECALLPRIVILEGE_OWNER && dwCallPrivilege != handle.privilege &&
        Api().OwnerCount(handle.callId) == 1 &&
        CurrentCallState(handle.callId) != LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    handle.privilege = dwCallPrivilege;
    return 0;
}

LONG lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) {
    Lock lock(ServiceLock());
    auto it = Api().calls.find(hCall);
    if (it == Api().calls.end() || FindCall(hCall) == nullptr) return LINEERR_INVALCALLHANDLE;
    if (dwDigitModes != 0) {
        Route route = Api().Device(DeviceOfLine(it->second.line));
        if (route.provider == nullptr) return LINEERR_INVALCALLHANDLE;
        DWORD supported = route.provider->GetLimits(route.local).monitorDigitModes;
        if ((dwDigitModes & ~supported) != 0) return LINEERR_INVALDIGITMODE;
    }
    if (CurrentCallState(it->second.callId) == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
    it->second.digitModes = dwDigitModes;
    return 0;
}

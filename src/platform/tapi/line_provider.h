// The service-provider side of the telephony line API: what a line service
// (the simulated line, a voice modem, ...) implements, and how it reports
// events back. The API layer owns sessions, handles, request ids, the size
// rules of the structures and event delivery; a provider only knows its
// devices and its calls, named by its own call ids.
//
// Every provider operation is called with the service lock held, and a
// provider reports events only while holding it, so the order of events is
// the order of the changes. The lock is recursive.
#pragma once

#include <mutex>
#include <string>

#include "platform/tapi/tapi.h"

namespace tapisp {

std::recursive_mutex& ServiceLock();

// LINEDEVCAPS without its sizes, plus the line name and the device-specific
// part (laid out as the provider publishes it; empty for none).
struct DevCapsData {
    LINEDEVCAPS caps{};
    std::string lineName;
    std::string devSpecific;
};

// LINECALLINFO without its sizes, plus the caller-ID texts (a part with
// present == false is reported with size 0).
struct CallInfoData {
    LINECALLINFO info{};
    bool callerIdPresent = false;
    std::string callerId;
    bool callerNamePresent = false;
    std::string callerName;
};

// What the API layer checks requests against; never fails, even on a device
// whose capability queries do.
struct DeviceLimits {
    DWORD mediaModes = 0;
    DWORD lineStates = 0;
    DWORD monitorDigitModes = 0;
};

// Implemented by the API layer; a provider calls it under the service lock.
class LineEventSink {
public:
    virtual ~LineEventSink() = default;
    virtual void LineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3) = 0;
    // A new call on the device; every open of the device gets a handle. The
    // provider reports its first state right after.
    virtual void NewCall(DWORD deviceId, DWORD callId) = 0;
    virtual void CallState(DWORD callId, DWORD state, DWORD mode) = 0;
    virtual void CallInfo(DWORD callId, DWORD infoStates) = 0;
    // Delivered to the handles whose digit monitoring includes the mode.
    virtual void Digit(DWORD callId, DWORD digit, DWORD digitMode) = 0;
    // The service closed the device: every open of it gets LINE_CLOSE and is
    // gone.
    virtual void LineClosed(DWORD deviceId) = 0;
    // Completes an asynchronous request the provider accepted.
    virtual void CompleteRequest(DWORD requestId, LONG result) = 0;
};

class LineProvider {
public:
    virtual ~LineProvider() = default;

    // Called when the provider is installed; events go to the sink.
    virtual void Attach(LineEventSink* sink) = 0;
    virtual DWORD NumDevices() = 0;
    virtual LONG NegotiateVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                                  DWORD* version) = 0;
    virtual DeviceLimits GetLimits(DWORD deviceId) = 0;
    virtual LONG GetDevCaps(DWORD deviceId, DevCapsData* data) = 0;
    virtual LONG GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) = 0;
    virtual LONG Open(DWORD deviceId, DWORD privileges, DWORD mediaModes) = 0;
    virtual void Close(DWORD deviceId) = 0;

    virtual LONG GetCallInfo(DWORD callId, CallInfoData* data) = 0;
    virtual LONG GetCallStatus(DWORD callId, LINECALLSTATUS* status) = 0;
    // Asynchronous: 0 when accepted (the provider completes requestId later,
    // possibly before returning), or a negative code.
    virtual LONG Accept(DWORD callId, DWORD requestId) = 0;
    virtual LONG Answer(DWORD callId, DWORD requestId) = 0;
    virtual LONG Drop(DWORD callId, DWORD requestId) = 0;
    // No application holds a handle of the call any more.
    virtual void ReleaseCall(DWORD callId) = 0;

    // The wave device id of the line (callId 0) or of a call.
    virtual LONG GetWaveId(DWORD deviceId, DWORD callId, bool waveIn, DWORD* id) = 0;
};

// Installs a line service (not owned) beside those already installed; its
// devices follow theirs. Sessions opened before a change keep their device
// count. A removed service's calls are gone; the devices of services
// installed after it move down.
void AddLineProvider(LineProvider* provider);
void RemoveLineProvider(LineProvider* provider);
bool HasLineProvider(LineProvider* provider);

}  // namespace tapisp

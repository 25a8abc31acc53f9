// The part of a line service every service does alike: installing it behind
// the line functions, capabilities and limits from each device's
// description, the count of opens, a call's information and status from its
// record, and the checks and request ids of accepting, answering and
// dropping. A service adds what is its own (a serial port, a SIP stack, a
// socket): how a call is answered, hung up and let go, its audio, and where
// its calls come from.
#pragma once

#include <memory>
#include <vector>

#include "lines/base/line_call.h"
#include "lines/base/line_roster.h"
#include "platform/tapi/line_provider.h"

namespace lines {

class LineServiceBase : public tapisp::LineProvider {
public:
    ~LineServiceBase() override;
    LineServiceBase(const LineServiceBase&) = delete;
    LineServiceBase& operator=(const LineServiceBase&) = delete;

    // Adds this to the installed line services; Uninstall (or the
    // destructor) removes it, after which it reports nothing.
    void Install();
    void Uninstall();

    // LineProvider
    void Attach(tapisp::LineEventSink* sink) override;
    DWORD NumDevices() override;
    LONG NegotiateVersion(DWORD deviceId, DWORD lowVersion, DWORD highVersion, DWORD* version) override;
    tapisp::DeviceLimits GetLimits(DWORD deviceId) override;
    LONG GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) override;
    LONG GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) override;
    LONG Open(DWORD deviceId, DWORD privileges, DWORD mediaModes) override;
    void Close(DWORD deviceId) override;
    LONG GetCallInfo(DWORD callId, tapisp::CallInfoData* data) override;
    LONG GetCallStatus(DWORD callId, LINECALLSTATUS* status) override;
    LONG Accept(DWORD callId, DWORD requestId) override;
    LONG Answer(DWORD callId, DWORD requestId) override;
    LONG Drop(DWORD callId, DWORD requestId) override;
    void ReleaseCall(DWORD callId) override;
    LONG GetWaveId(DWORD deviceId, DWORD callId, bool waveIn, DWORD* id) override;

protected:
    explicit LineServiceBase(std::vector<LineDescription> devices);

    LineRoster& Roster() { return *m_roster; }
    const LineRoster& Roster() const { return *m_roster; }
    const std::shared_ptr<LineRoster>& SharedRoster() const { return m_roster; }

private:
    // A ringing call the application answers; call.answerRequest is
    // completed, now or once the line knows. An error refuses the request.
    virtual LONG StartAnswer(LineCall& call) = 0;
    // Hanging up a call that is not idle; call.dropRequest is completed,
    // now or once the line is free.
    virtual void StartDrop(LineCall& call) = 0;
    // No application holds a handle of the call any more.
    virtual void Release(LineCall& call) = 0;
    // The wave device of the line (call null) or of one of its calls.
    virtual LONG WaveId(DWORD deviceId, LineCall* call, bool waveIn, DWORD* id) = 0;

    std::shared_ptr<LineRoster> m_roster;
    bool m_installed = false;
};

}  // namespace lines

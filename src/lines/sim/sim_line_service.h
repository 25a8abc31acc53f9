// The simulated line service: configurable line devices behind the line
// functions, and the remote party that tests and tools drive (offer a call,
// ring, press touch tones, hang up).
//
// Rings: dwParam3 of LINEDEVSTATE_RINGING is the number of rings of the call
// so far (1 at the first ring) on a line that counts rings, else 0.
// A remote hang-up makes the call DISCONNECTED; it becomes IDLE when the
// application drops it (or at once on a line configured to do so).
//
// Audio: a call on a line with wave devices gets its audio path from
// MakeCallAudio (sim_call_audio.h) when it is offered; lineGetID by call
// reports that path's device ids. By line, lineGetID reports a line-level
// path made the same way on the first request and kept while the service
// exists, so the ids a modem list shows do not change from call to call.
// Factories must not call line functions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lines/base/line_service_base.h"
#include "lines/sim/sim_call_audio.h"

namespace simline {

struct LineConfig {
    std::string name = "Simulated Voice Modem";
    DWORD permanentLineId = 0;  // 0: 0x5100 plus the device id
    DWORD mediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                       LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;
    DWORD bearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    DWORD monitorDigitModes = LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND;
    DWORD lineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED |
                       LINEDEVSTATE_DISCONNECTED | LINEDEVSTATE_INSERVICE |
                       LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_OPEN | LINEDEVSTATE_CLOSE |
                       LINEDEVSTATE_REINIT | LINEDEVSTATE_REMOVED;
    DWORD addrCapFlags = 0;  // LINEADDRCAPFLAGS_ACCEPTTOALERT: rings only after lineAccept
    bool countsRings = true;
    DWORD apiLowVersion = 0x00010003;  // the versions the device supports
    DWORD apiHighVersion = 0x00020002;
    bool failDevCaps = false;
    bool failAddressCaps = false;
    bool failOpen = false;
    bool hasWaveDevices = true;
    DWORD acceptedFormats = kFormatPcm16 | kFormatPcm8 | kFormatALaw | kFormatMuLaw;
    bool idleAfterRemoteHangUp = false;
    // The remote party's hang-up is certain; false makes the line report its
    // disconnects as a voice modem does, as possibly mistaken.
    bool reliableDisconnect = true;
};

using CallerId = lines::CallerParty;

class ServiceCore;

// The remote party's side of one call. Safe to use from any thread, and
// after the service is gone (it then does nothing).
class SimCall {
public:
    SimCall(std::shared_ptr<ServiceCore> core, DWORD callId);
    ~SimCall();

    DWORD Id() const { return m_callId; }
    DWORD State() const;
    // One ring; false when the call cannot ring now (answered, gone, or not
    // yet accepted on an accept-to-alert line).
    bool Ring();
    // Rings every periodMs of scaled time until answered or gone; rings
    // held back by accept-to-alert start after lineAccept.
    void StartRinging(DWORD periodMs);
    void StopRinging();
    // Caller ID arriving after the offering (LINE_CALLINFO, CALLERID).
    bool ReportCallerId(const CallerId& caller);
    // A touch tone: reported as LINEDIGITMODE_DTMF, then DTMFEND, to the
    // handles monitoring that mode. Only while connected.
    bool PressDigit(char digit);
    bool HangUp();

    unsigned RingCount() const;
    unsigned AnswerRequests() const;
    unsigned DropRequests() const;
    // The call was connected at some time (it may be over by now).
    bool Answered() const;
    // Every application handle of the call has been deallocated.
    bool Released() const;
    CallAudio* Audio() const;

private:
    std::shared_ptr<ServiceCore> m_core;
    DWORD m_callId;
};

class SimLineService final : public lines::LineServiceBase {
public:
    explicit SimLineService(std::vector<LineConfig> lines);
    ~SimLineService() override;

    // An inbound call, offered at once. Without callerIdAtOffering the
    // caller ID is unknown until SimCall::ReportCallerId.
    std::shared_ptr<SimCall> OfferCall(DWORD deviceId, const CallerId& caller,
                                       bool callerIdAtOffering = true);
    // A call of outbound origin reported as offering (as some services do).
    std::shared_ptr<SimCall> OfferOutboundCall(DWORD deviceId);
    void SendLineDevState(DWORD deviceId, DWORD state, DWORD param2 = 0, DWORD param3 = 0);
    // The service closes the device under the application (LINE_CLOSE).
    void CloseLine(DWORD deviceId);
    int OpenCount(DWORD deviceId) const;
    // How often the line was opened since the service started.
    unsigned Openings(DWORD deviceId) const;

    // LineProvider
    LONG GetDevCaps(DWORD deviceId, tapisp::DevCapsData* data) override;
    LONG GetAddressCaps(DWORD deviceId, DWORD addressId, LINEADDRESSCAPS* caps) override;
    LONG Open(DWORD deviceId, DWORD privileges, DWORD mediaModes) override;

private:
    LONG StartAnswer(lines::LineCall& call) override;
    void StartDrop(lines::LineCall& call) override;
    void Release(lines::LineCall& call) override;
    LONG WaveId(DWORD deviceId, lines::LineCall* call, bool waveIn, DWORD* id) override;
    std::shared_ptr<SimCall> Offer(DWORD deviceId, const CallerId& caller, bool known,
                                   DWORD origin);

    std::shared_ptr<ServiceCore> m_core;
};

}  // namespace simline

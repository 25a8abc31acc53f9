// A line service's devices, how often each is open, its calls by the ids it
// gives them, and the reports of them to the API layer. The service and whatever outlives a call
// of it (a ringing thread, a modem's events, the remote party of a
// simulated call) share it; everything here runs under the service lock.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "lines/base/line_call.h"
#include "lines/base/line_description.h"
#include "platform/tapi/line_provider.h"

namespace lines {

class LineRoster {
public:
    explicit LineRoster(std::vector<LineDescription> devices);

    bool Valid(DWORD device) const { return device < m_devices.size(); }
    DWORD Count() const { return static_cast<DWORD>(m_devices.size()); }
    const LineDescription& Device(DWORD device) const { return m_devices[device]; }
    int Opens(DWORD device) const { return m_opens[device]; }
    // Every open since the service started, so a caller can tell that the
    // line was opened again after a call.
    unsigned Openings(DWORD device) const { return m_openings[device]; }
    void Opened(DWORD device) {
        m_opens[device]++;
        m_openings[device]++;
    }
    void Closed(DWORD device);

    // A new call of the service's own kind on the device, with the next id;
    // ids are never reused. A service keeps only its one kind of call.
    template <typename Call>
    Call& AddCall(DWORD device) {
        auto call = std::make_unique<Call>();
        call->id = m_nextCallId++;
        call->device = device;
        Call& added = *call;
        m_calls[added.id] = std::move(call);
        return added;
    }
    LineCall* FindCall(DWORD callId);
    template <typename Call>
    Call* Find(DWORD callId) {
        return static_cast<Call*>(FindCall(callId));
    }
    template <typename Fn>
    void ForEachCall(Fn fn) {
        for (auto& entry : m_calls) fn(*entry.second);
    }
    void EraseCall(DWORD callId) { m_calls.erase(callId); }
    void ClearCalls() { m_calls.clear(); }

    // Null detaches: a service that is no longer installed reports nothing.
    void Attach(tapisp::LineEventSink* sink) { m_sink = sink; }
    bool Attached() const { return m_sink != nullptr; }

    // Every open of the device learns of the call, then of its state.
    void Announce(LineCall& call);
    // A ringing call no open has heard of (offered while the line was
    // closed, or left by the last open to close it) is announced to the
    // opens the line has now, as a line that keeps ringing is noticed once
    // it is open again.
    void AnnounceIfUnheard(LineCall& call);
    void SetState(LineCall& call, DWORD state, DWORD mode);
    void CallInfo(const LineCall& call, DWORD infoStates);
    // A ring of the device, after AnnounceIfUnheard for its ringing calls.
    void Ring(DWORD device, DWORD count);
    // The touch tone in each report the device's digit modes include.
    void Digit(const LineCall& call, char digit);
    void LineState(DWORD device, DWORD state, DWORD param2 = 0, DWORD param3 = 0);
    void LineClosed(DWORD device);
    void Complete(DWORD requestId, LONG result);
    // Completes a request the service held on to and forgets it; a request
    // of 0 is none.
    void CompletePending(DWORD& requestId, LONG result);

private:
    std::vector<LineDescription> m_devices;
    std::vector<int> m_opens;
    std::vector<unsigned> m_openings;
    std::map<DWORD, std::unique_ptr<LineCall>> m_calls;
    DWORD m_nextCallId = 1;
    tapisp::LineEventSink* m_sink = nullptr;
};

}  // namespace lines

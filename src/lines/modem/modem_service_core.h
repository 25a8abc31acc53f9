// The state of the modem line service, guarded by the service lock: its
// lines, their calls, and the events each modem's engine reports.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lines/modem/modem_engine.h"
#include "lines/modem/modem_wave_device.h"
#include "platform/tapi/line_provider.h"

namespace modemline {

struct ModemCall {
    DWORD id = 0;
    DWORD device = 0;
    DWORD state = LINECALLSTATE_OFFERING;
    DWORD stateMode = 0;
    CallerIdFields caller;
    bool callerKnown = false;
    DWORD answerRequest = 0;
    DWORD dropRequest = 0;
};

class ModemLineEvents;

struct ModemLine {
    ModemSettings settings;
    std::string name;
    std::string registryKey;
    int service = -1;  // 1 in service, 0 out, -1 not yet known
    int opens = 0;
    DWORD callId = 0;  // the call the modem is busy with, 0 for none
    std::unique_ptr<ModemLineEvents> events;
    std::shared_ptr<ModemEngine> engine;
    ModemWaveIds wave;
};

class ModemServiceCore {
public:
    std::vector<ModemLine> lines;
    std::map<DWORD, ModemCall> calls;
    tapisp::LineEventSink* sink = nullptr;
    DWORD nextCallId = 1;

    bool ValidDevice(DWORD device) const { return device < lines.size(); }
    ModemCall* Find(DWORD callId);
    ModemCall* Current(DWORD device);
    void SetState(ModemCall& call, DWORD state, DWORD mode);
    void Complete(DWORD& requestId, LONG result);
};

// One modem's engine events, turned into line events under the service lock.
class ModemLineEvents : public ModemEvents {
public:
    ModemLineEvents(std::weak_ptr<ModemServiceCore> core, DWORD device) : m_core(std::move(core)), m_device(device) {}
    void OnInService(const ModemIdentity& identity) override;
    void OnOutOfService(const std::string& why) override;
    void OnOffered() override;
    void OnRing(unsigned count) override;
    void OnCallerId(const CallerIdFields& fields) override;
    void OnCallerGaveUp() override;
    void OnAnswered(bool ok) override;
    void OnDigit(char digit) override;
    void OnRemoteHangUp(const std::string& reason) override;
    void OnHungUp() override;
    std::vector<std::string> RecordCommands() override;

private:
    template <typename Fn>
    void WithLine(Fn fn);
    void Disconnect(DWORD mode);

    std::weak_ptr<ModemServiceCore> m_core;
    DWORD m_device;
};

// The line's name, from its port. It stays the same when the modem tells its
// model: the modem settings find the modem's key by the name they listed.
std::string ModemLineName(const std::string& port);

}  // namespace modemline

// The state of the modem line service, guarded by the service lock: its
// lines, their calls, and the events each modem's engine reports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lines/base/line_roster.h"
#include "lines/modem/modem_engine.h"
#include "lines/modem/modem_wave_device.h"

namespace modemline {

// A modem's call is no more than any line's: what is its own lives in the
// modem's engine.
using ModemCall = lines::LineCall;

class ModemLineEvents;

struct ModemLine {
    ModemSettings settings;
    std::string name;
    std::string registryKey;
    int service = -1;  // 1 in service, 0 out, -1 not yet known
    DWORD callId = 0;  // the call the modem is busy with, 0 for none
    std::unique_ptr<ModemLineEvents> events;
    std::shared_ptr<ModemEngine> engine;
    ModemWaveIds wave;
};

class ModemServiceCore {
public:
    explicit ModemServiceCore(std::shared_ptr<lines::LineRoster> shared) : roster(std::move(shared)) {}

    std::shared_ptr<lines::LineRoster> roster;
    std::vector<ModemLine> lines;

    bool ValidDevice(DWORD device) const { return device < lines.size(); }
    ModemCall* Find(DWORD callId) { return roster->FindCall(callId); }
    ModemCall* Current(DWORD device);
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

// What the line of a modem on this port reports of itself.
lines::LineDescription ModemLineDescription(const std::string& port, DWORD device);

// The line's name, from its port. It stays the same when the modem tells its
// model: the modem settings find the modem's key by the name they listed.
std::string ModemLineName(const std::string& port);

}  // namespace modemline

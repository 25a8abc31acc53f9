// Voice modems as line devices behind the line functions: one line per
// modem, with its own "wave/out" and "wave/in" devices, each modem driven by
// a ModemEngine. A modem that is unplugged or stops answering puts its line
// out of service; the line comes back when the modem does.
#pragma once

#include <memory>
#include <vector>

#include "lines/base/line_service_base.h"
#include "lines/modem/modem_engine.h"

namespace modemline {

class ModemServiceCore;

class ModemLineService final : public lines::LineServiceBase {
public:
    explicit ModemLineService(std::vector<ModemSettings> modems);
    ~ModemLineService() override;

    bool InService(DWORD deviceId) const;
    // The modem's key under the modem class, once it was identified.
    std::string RegistryKey(DWORD deviceId) const;

private:
    LONG StartAnswer(lines::LineCall& call) override;
    void StartDrop(lines::LineCall& call) override;
    void Release(lines::LineCall& call) override;
    LONG WaveId(DWORD deviceId, lines::LineCall* call, bool waveIn, DWORD* id) override;

    std::shared_ptr<ModemServiceCore> m_core;
};

}  // namespace modemline

// Voice modems as line devices behind the line functions: one line per
// modem, with its own "wave/out" and "wave/in" devices, each modem driven by
// a ModemEngine. A modem that is unplugged or stops answering puts its line
// out of service; the line comes back when the modem does.
#pragma once

#include <memory>
#include <vector>

#include "lines/modem/modem_engine.h"
#include "platform/tapi/line_provider.h"

namespace modemline {

class ModemServiceCore;

class ModemLineService final : public tapisp::LineProvider {
public:
    explicit ModemLineService(std::vector<ModemSettings> modems);
    ~ModemLineService() override;
    ModemLineService(const ModemLineService&) = delete;
    ModemLineService& operator=(const ModemLineService&) = delete;

    // Adds this to the installed line services; the destructor removes it.
    void Install();
    void Uninstall();
    bool InService(DWORD deviceId) const;
    // The modem's key under the modem class, once it was identified.
    std::string RegistryKey(DWORD deviceId) const;

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

private:
    std::shared_ptr<ModemServiceCore> m_core;
    bool m_installed = false;
};

}  // namespace modemline

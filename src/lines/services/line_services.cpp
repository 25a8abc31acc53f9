#include "lines/services/line_services.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lines/modem/modem_line_service.h"
#include "lines/modem/modem_ports.h"
#include "lines/sim/sim_call_audio_device.h"
#include "lines/sim/sim_line_service.h"
#include "lines/sip/registration_publisher.h"
#include "lines/sip/sip_line_service.h"
#include "lines/sip/sip_settings.h"

namespace lines {

struct LineServices::Installed {
    std::unique_ptr<modemline::ModemLineService> modems;
    std::unique_ptr<sipline::RegistrationPublisher> sipRegistration;
    std::unique_ptr<sipline::SipLineService> sip;
    std::unique_ptr<simline::SimLineService> sim;
};

namespace {

// The SIP line, when its settings are in the registry and its address can
// be bound; its registration is told through publisher.
std::unique_ptr<sipline::SipLineService> StartSipLine(std::unique_ptr<sipline::RegistrationPublisher>* publisher) {
    sipline::SipSettings settings;
    if (!sipline::LoadSipSettings(&settings)) return nullptr;
    // The modem list shows which account or address the line is.
    const std::string where = settings.Registers() ? settings.account + "@" + settings.server
                                                   : settings.listenAddress + ":" + std::to_string(settings.listenPort);
    const std::string name = "SIP Line (" + where + ")";
    auto service = std::make_unique<sipline::SipLineService>(settings, name);
    *publisher = std::make_unique<sipline::RegistrationPublisher>(name);
    service->OnRegistrationChange(
        [told = publisher->get()](const sipline::RegistrationStatus& status) { told->Publish(status); });
    std::string error;
    if (!service->Start(&error)) {
        // Said where a person starting the program sees it; the error
        // names the address, never the account's password.
        std::fprintf(stderr, "vocerra: the SIP line cannot start: %s\n", error.c_str());
        publisher->reset();
        return nullptr;
    }
    service->Install();
    return service;
}

}  // namespace

bool SimulatedLineForced() {
    const char* value = std::getenv("VOCERRA_SIM_LINE");
    return value != nullptr && std::atoi(value) != 0;
}

LineServices::LineServices() : m_installed(std::make_unique<Installed>()) {
    // Voice modems first: their lines keep the low device ids; then SIP.
    std::vector<modemline::ModemSettings> modems = modemline::ConfiguredModems();
    auto realLines = static_cast<DWORD>(modems.size());
    if (!modems.empty()) {
        m_installed->modems = std::make_unique<modemline::ModemLineService>(std::move(modems));
        m_installed->modems->Install();
    }
    m_installed->sip = StartSipLine(&m_installed->sipRegistration);
    if (m_installed->sip) realLines++;
    if (realLines == 0 || SimulatedLineForced()) {
        simline::InstallSimCallAudio();
        simline::LineConfig config;
        config.name = "Vocerra Simulated Line";
        m_installed->sim = std::make_unique<simline::SimLineService>(std::vector{config});
        m_installed->sim->Install();
    }
}

LineServices::~LineServices() {
    // In the reverse order of their installation.
    m_installed->sim.reset();
    m_installed->sip.reset();
    m_installed->sipRegistration.reset();
    m_installed->modems.reset();
}

simline::SimLineService* LineServices::SimulatedLine() const { return m_installed->sim.get(); }

}  // namespace lines

#include "platform/lines/services/line_services.h"

#include <cstdlib>
#include <vector>

#include "platform/lines/modem/modem_line_service.h"
#include "platform/lines/modem/modem_ports.h"
#include "platform/lines/sim/sim_call_audio_device.h"
#include "platform/lines/sim/sim_line_service.h"

namespace lines {

struct LineServices::Installed {
    std::unique_ptr<modemline::ModemLineService> modems;
    std::unique_ptr<simline::SimLineService> sim;
};

bool SimulatedLineForced() {
    const char* value = std::getenv("VOCERRA_SIM_LINE");
    return value != nullptr && std::atoi(value) != 0;
}

LineServices::LineServices() : m_installed(std::make_unique<Installed>()) {
    // Voice modems first: their lines keep the low device ids.
    std::vector<modemline::ModemSettings> modems = modemline::ConfiguredModems();
    const auto realLines = static_cast<DWORD>(modems.size());
    if (!modems.empty()) {
        m_installed->modems = std::make_unique<modemline::ModemLineService>(std::move(modems));
        m_installed->modems->Install();
    }
    if (realLines == 0 || SimulatedLineForced()) {
        simline::InstallSimCallAudio();
        simline::LineConfig config;
        config.name = "Vocerra Simulated Line";
        m_installed->sim = std::make_unique<simline::SimLineService>(std::vector{config});
        m_installed->sim->Install();
    }
}

LineServices::~LineServices() {
    // The simulated line goes first; it was installed last.
    m_installed->sim.reset();
    m_installed->modems.reset();
}

simline::SimLineService* LineServices::SimulatedLine() const { return m_installed->sim.get(); }

}  // namespace lines

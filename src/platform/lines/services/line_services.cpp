#include "platform/lines/services/line_services.h"

#include <cstdlib>
#include <vector>

#include "platform/lines/sim/sim_call_audio_device.h"
#include "platform/lines/sim/sim_line_service.h"

namespace lines {

struct LineServices::Installed {
    std::unique_ptr<simline::SimLineService> sim;
};

bool SimulatedLineForced() {
    const char* value = std::getenv("VOCERRA_SIM_LINE");
    return value != nullptr && std::atoi(value) != 0;
}

LineServices::LineServices() : m_installed(std::make_unique<Installed>()) {
    DWORD realLines = 0;
    if (realLines == 0 || SimulatedLineForced()) {
        simline::InstallSimCallAudio();
        simline::LineConfig config;
        config.name = "Vocerra Simulated Line";
        m_installed->sim = std::make_unique<simline::SimLineService>(std::vector{config});
        m_installed->sim->Install();
    }
}

LineServices::~LineServices() = default;

simline::SimLineService* LineServices::SimulatedLine() const { return m_installed->sim.get(); }

}  // namespace lines

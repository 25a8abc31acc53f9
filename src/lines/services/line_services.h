// Every line service this build has, installed together behind the line
// functions: the voice modems (modem_ports.h says which ports), the SIP line
// (when its settings are in the registry, sip_settings.h), then the
// simulated line ("Vocerra Simulated Line"), offered when no other service
// has a line, or always with VOCERRA_SIM_LINE=1.
#pragma once

#include <memory>

namespace simline {
class SimLineService;
}

namespace lines {

class LineServices {
public:
    LineServices();
    ~LineServices();
    LineServices(const LineServices&) = delete;
    LineServices& operator=(const LineServices&) = delete;

    // Null when the simulated line is not offered.
    simline::SimLineService* SimulatedLine() const;

private:
    struct Installed;
    std::unique_ptr<Installed> m_installed;
};

// VOCERRA_SIM_LINE=1 forces the simulated line beside the real ones.
bool SimulatedLineForced();

}  // namespace lines

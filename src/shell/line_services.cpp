#include "shell/line_services.h"

#include "platform/tapi/sim_line_remote.h"
#include "platform/tapi/sim_line_service.h"
#include "platform/winmm/sim_call_audio_device.h"

struct VM_CLineServices::Impl {
    std::unique_ptr<simline::SimLineService> sim;
    bool serving = false;
};

VM_CLineServices::VM_CLineServices() : m_impl(std::make_unique<Impl>()) {}

VM_CLineServices::~VM_CLineServices() { VM_Stop(); }

bool VM_CLineServices::VM_Start(std::string* error) {
    simline::LineConfig line;
    line.name = "Vocerra Simulated Line";
    simline::InstallSimCallAudio();
    m_impl->sim = std::make_unique<simline::SimLineService>(std::vector<simline::LineConfig>{line});
    m_impl->sim->Install();
    m_impl->serving = simline::StartRemoteLineServer(*m_impl->sim, error);
    return m_impl->serving;
}

void VM_CLineServices::VM_Stop() {
    if (m_impl->serving) simline::StopRemoteLineServer();
    m_impl->serving = false;
    m_impl->sim.reset();
    simline::SetCallAudioFactory(nullptr);
}

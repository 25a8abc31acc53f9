#include "shell/line_services.h"

#include "lines/services/line_services.h"
#include "lines/sim/sim_line_remote.h"

struct VM_CLineServices::Impl {
    std::unique_ptr<lines::LineServices> services;
    bool serving = false;
};

VM_CLineServices::VM_CLineServices() : m_impl(std::make_unique<Impl>()) {}

VM_CLineServices::~VM_CLineServices() { VM_Stop(); }

bool VM_CLineServices::VM_Start(std::string* error) {
    m_impl->services = std::make_unique<lines::LineServices>();
    simline::SimLineService* sim = m_impl->services->SimulatedLine();
    if (sim == nullptr) return true;
    m_impl->serving = simline::StartRemoteLineServer(*sim, error);
    return m_impl->serving;
}

void VM_CLineServices::VM_Stop() {
    if (m_impl->serving) simline::StopRemoteLineServer();
    m_impl->serving = false;
    m_impl->services.reset();
}

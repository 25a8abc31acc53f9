// The line services this process offers. Without any other, the simulated
// line ("Vocerra Simulated Line"), whose caller another process plays
// through the per-user socket (vocerra-call), so the program runs anywhere.
#pragma once

#include <memory>
#include <string>

class VM_CLineServices {
public:
    VM_CLineServices();
    ~VM_CLineServices();
    VM_CLineServices(const VM_CLineServices&) = delete;
    VM_CLineServices& operator=(const VM_CLineServices&) = delete;

    // False with a text for the user when the remote party cannot be served.
    bool VM_Start(std::string* error);
    void VM_Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

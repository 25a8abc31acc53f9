// The registration at a registrar, part of the stack (loop thread only).
//
// Each attempt answers one challenge: the password is offered once, and a
// registrar that challenges the answer again (not as stale) has refused it.
// A granted binding is renewed before it runs out. While registered, a small
// request (OPTIONS) every keep-alive interval keeps a home router's mapping
// open; its answer says which address the registrar sees us at (Via
// received/rport), so a mapping the router replaced or a keep-alive that
// goes unanswered leads at once to a new REGISTER. Unregistering sends the
// binding's removal and answers its challenge too.
#pragma once

#include <functional>
#include <memory>

#include "lines/sip/sip_stack.h"

struct sip;

namespace sipline {

class RegisterClient {
public:
    using Report = std::function<void(const RegistrationAnswer&)>;

    RegisterClient(struct sip* stack, const RegisterConfig& config, Report report);
    // Abandons the registration without removing the binding.
    ~RegisterClient();
    RegisterClient(const RegisterClient&) = delete;
    RegisterClient& operator=(const RegisterClient&) = delete;

    const RegisterConfig& Config() const;
    // A new attempt now; ends one still waiting for its answer.
    void Send();
    // Removes the binding, then calls done (at once when there is none).
    void Unregister(std::function<void()> done);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

}  // namespace sipline

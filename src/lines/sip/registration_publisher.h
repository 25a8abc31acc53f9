// Tells the user where the SIP line's registration stands: a notice when the
// registrar's answer changes (not at every renewal or retry that meets the
// same answer), and the status file that `vocerra-sip-setup --show` and the
// set-up page read. Called on the SIP loop thread; the file goes with the
// publisher.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>

#include "lines/sip/registration_status.h"

namespace sipline {

class RegistrationPublisher {
public:
    explicit RegistrationPublisher(std::string lineName);
    ~RegistrationPublisher();
    RegistrationPublisher(const RegistrationPublisher&) = delete;
    RegistrationPublisher& operator=(const RegistrationPublisher&) = delete;

    void Publish(const RegistrationStatus& status);

private:
    std::string m_line;
    std::tuple<RegistrationStatus::State, std::uint16_t, int> m_told{RegistrationStatus::State::kOff, 0, 0};
};

}  // namespace sipline

#include "lines/sip/registration_publisher.h"

#include <utility>

#include "diag/user_notice.h"

namespace sipline {

RegistrationPublisher::RegistrationPublisher(std::string lineName) : m_line(std::move(lineName)) {}

RegistrationPublisher::~RegistrationPublisher() { RemoveRegistrationFile(); }

void RegistrationPublisher::Publish(const RegistrationStatus& status) {
    std::string text = DescribeRegistration(status);
    (void)WriteRegistrationFile({m_line, text});
    const auto answer = std::make_tuple(status.state, status.lastStatus, status.lastError);
    if (status.state == RegistrationStatus::State::kRegistering || answer == m_told) return;
    m_told = answer;
    // One line: "SIP Line (...): Registration: refused (...); Last answer: 403 Forbidden".
    text.pop_back();
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, "; ");
    VM_NoticeForUser((m_line + ": " + text).c_str());
}

}  // namespace sipline

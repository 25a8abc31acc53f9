// A home network behind a router, and the world outside it: three network
// namespaces made for one test and removed after it, joined by veth pairs,
// with documentation addresses only. The router masquerades the home
// network behind its public address and forgets an idle UDP mapping after
// a short time-out.
//
//   home 192.0.2.2 --- 192.0.2.1 router 203.0.113.1 --- 203.0.113.2 outside
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace e2e {

class HomeRouter {
public:
    static constexpr const char* kHomeAddress = "192.0.2.2";
    static constexpr const char* kOutsideAddress = "203.0.113.2";
    static constexpr const char* kPublicAddress = "203.0.113.1";
    static constexpr const char* kNextPublicAddress = "203.0.113.3";

    explicit HomeRouter(int udpTimeoutSeconds);
    ~HomeRouter();
    HomeRouter(const HomeRouter&) = delete;
    HomeRouter& operator=(const HomeRouter&) = delete;

    // Empty when the namespaces stand; else why they cannot be made.
    const std::string& Error() const { return m_error; }
    const std::string& Home() const { return m_home; }
    const std::string& Outside() const { return m_outside; }

    // The router gets a new public address, as after a new lease, and its
    // mappings start afresh. False with Error() set when it fails.
    bool Renumber();
    // Runs fn on a thread inside the namespace: sockets it makes stay there.
    void Within(const std::string& netns, const std::function<void()>& fn);

private:
    bool Run(const std::vector<std::string>& command);

    std::string m_home;
    std::string m_router;
    std::string m_outside;
    std::string m_error;
    bool m_made = false;
};

}  // namespace e2e

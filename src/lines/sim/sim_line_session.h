// One connection's conversation with the simulated line's remote party: turns
// request lines (sim_line_protocol.h) into SimCall and SimCallAudio actions
// and their replies. Holds at most one call; hangs it up when the session
// ends while the call is still up. Used only on the server's thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/types.h"

namespace simline {

class SimCall;
class SimCallAudio;
class SimLineService;
struct Request;

class RemoteSession {
public:
    RemoteSession(SimLineService& service, DWORD defaultLine);
    ~RemoteSession();
    RemoteSession(const RemoteSession&) = delete;
    RemoteSession& operator=(const RemoteSession&) = delete;

    // The reply to one request line (without its LF), ending in LF, with the
    // body of an AUDIO reply after it.
    std::string Handle(std::string_view line);
    // The client said BYE.
    bool Finished() const { return m_finished; }

private:
    std::string Dispatch(const Request& request);
    std::optional<DWORD> LineOf(const Request& request) const;
    std::string Call(const Request& request);
    std::string Line(const Request& request);
    std::string CallerIdLate(const Request& request);
    std::string Ring(const Request& request);
    std::string Digits(const Request& request);
    std::string Send(const Request& request);
    std::string Record(const Request& request);
    std::string Status();
    std::string Audio(const Request& request);
    SimCallAudio* CallAudio() const;

    SimLineService& m_service;
    DWORD m_defaultLine;
    std::shared_ptr<SimCall> m_call;
    bool m_finished = false;
};

}  // namespace simline

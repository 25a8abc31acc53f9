// A SIP line service on 127.0.0.1 installed for one test, the telephony
// session on it with line 0 opened for a recording owner, and sipp started
// as the caller or registrar with the scenarios in data/.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lines/sip/sip_line_service.h"
#include "sip/sip_peers.h"
#include "support/temp_dir.h"
#include "telephony/line_harness.h"

namespace siptest {

using Keys = std::map<std::string, std::string>;

// Dispatches the thread's messages until pred holds. The bound is in real
// seconds only so a broken run ends; it is no timing check.
bool PumpUntil(const std::function<bool()>& pred, int realSeconds = 60);

// A file of tests/sip/data.
std::string ScenarioPath(const std::string& name);

// The keys of caller scenarios: a PCMU caller with telephone events on 101,
// its media on 127.0.0.1.
Keys CallerKeys(std::uint16_t rtpPort);

// The line's owner; touch tones can be passed on as they arrive.
class SipLineOwner : public linetest::RecordingOwner {
public:
    std::function<void(DWORD digit)> onDigit;
    void VM_OnMonitorDigits(VM_CCall* call, DWORD digit, DWORD mode) override {
        RecordingOwner::VM_OnMonitorDigits(call, digit, mode);
        if (onDigit) onDigit(digit);
    }
};

class SipLineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    sipline::SipSettings TestSettings();
    // Starts the service with the settings, opens line 0 for the owner.
    void StartLine(const sipline::SipSettings& settings);
    void StartLine() { StartLine(TestSettings()); }
    // Opens line 0 for the owner on a service already started.
    void OpenLine();
    // Starts and installs the service only: whoever opens line 0 is the
    // test's (the answer machine in the end-to-end tests).
    void StartService(const sipline::SipSettings& settings);
    sipline::SipLineService& Service() { return *m_service; }

    std::unique_ptr<PeerProcess> Sipp(const std::string& scenario, const Keys& keys,
                                      const std::vector<std::string>& extra = {});
    // Waits for sipp's end; its log on failure.
    void ExpectSippPassed(PeerProcess& sipp);

    // The first offered call, answered and connected.
    VM_CCall* AnswerFirstCall();
    bool PumpUntilState(DWORD state);
    UINT CallDevice(const char* deviceClass, VM_CCall* call);

    testsupport::TempDir m_dir;
    SipLineOwner m_owner;
    std::uint16_t m_sipPort = 0;

private:
    std::unique_ptr<sipline::SipLineService> m_service;
};

}  // namespace siptest

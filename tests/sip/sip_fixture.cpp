#include "sip/sip_fixture.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/win32/clock.h"
#include "telephony/var_structs.h"

namespace siptest {

namespace {

const bool kNoCards = [] { return setenv("VOCERRA_NO_SOUND_CARDS", "1", 1) == 0; }();

}  // namespace

std::string ScenarioPath(const std::string& name) {
    return std::string(VOCERRA_SIP_DATA) + "/" + name;
}

bool PumpUntil(const std::function<bool()>& pred, int realSeconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(realSeconds);
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        MSG msg;
        bool any = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            DispatchMessageA(&msg);
            if (pred()) return true;
        }
        if (!any) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

Keys CallerKeys(std::uint16_t rtpPort) {
    return {{"rtpport", std::to_string(rtpPort)},
            {"caller_from", "\"Alice Test\" <sip:5551234@127.0.0.1>"},
            {"privacy", "Privacy: none"},
            {"formats", "0 101"},
            {"pt1", "0"},
            {"enc1", "PCMU/8000"},
            {"pt2", "101"},
            {"enc2", "telephone-event/8000"},
            {"answer_check", "m=audio [0-9]+ RTP/AVP 0 101"},
            {"media_address", "127.0.0.1"},
            {"hold", "3000"}};
}

void SipLineFixture::SetUp() {
    ASSERT_TRUE(kNoCards);
    platform::SetTimeScale(20.0);
}

void SipLineFixture::TearDown() {
    VM_CTapi::VM_Shutdown();
    linetest::PumpPending();
    m_service.reset();
    platform::SetTimeScale(1.0);
}

sipline::SipSettings SipLineFixture::TestSettings() {
    sipline::SipSettings s;
    s.listenAddress = "127.0.0.1";
    m_sipPort = FreePort();
    s.listenPort = m_sipPort;
    s.rtpPortMin = 16384;
    s.rtpPortMax = 32000;
    s.ringPeriodMs = 6000;           // 300 ms at the tests' time scale
    s.mediaTimeoutSeconds = 600;     // longer than any test call
    s.registerRetrySeconds = 1;
    return s;
}

void SipLineFixture::StartService(const sipline::SipSettings& settings) {
    m_sipPort = static_cast<std::uint16_t>(settings.listenPort);
    m_service = std::make_unique<sipline::SipLineService>(settings);
    std::string error;
    ASSERT_TRUE(m_service->Start(&error)) << error;
    m_service->Install();
}

void SipLineFixture::StartLine(const sipline::SipSettings& settings) {
    StartService(settings);
    if (::testing::Test::HasFatalFailure()) return;
    OpenLine();
}

void SipLineFixture::OpenLine() {
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    m_owner.line = std::make_unique<VM_CLine>(0, &m_owner);
    ASSERT_TRUE(m_owner.line->VM_Open(LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                                      LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_UNKNOWN));
}

std::unique_ptr<PeerProcess> SipLineFixture::Sipp(const std::string& scenario, const Keys& keys,
                                                  const std::vector<std::string>& extra) {
    const std::uint16_t own = FreePort();
    std::vector<std::string> argv = {"sipp",
                                     "127.0.0.1:" + std::to_string(m_sipPort),
                                     "-sf",
                                     ScenarioPath(scenario),
                                     "-i",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(own),
                                     "-mi",
                                     "127.0.0.1",
                                     "-mp",
                                     std::to_string(FreePort()),
                                     "-m",
                                     "1",
                                     "-nostdin",
                                     "-timeout",
                                     "90s",
                                     "-timeout_error",
                                     "-trace_err",
                                     "-error_file",
                                     m_dir.file("sipp_errors.log")};
    for (const auto& [key, value] : keys) {
        if (key == "hold") {  // sipp takes no keys in attributes: the pause is -d
            argv.insert(argv.end(), {"-d", value});
            continue;
        }
        argv.push_back("-key");
        argv.push_back(key);
        argv.push_back(value);
    }
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto process = std::make_unique<PeerProcess>(argv, m_dir.path(), m_dir.file("sipp.log"));
    EXPECT_TRUE(process->Started());
    return process;
}

void SipLineFixture::ExpectSippPassed(PeerProcess& sipp) {
    int status = -1;
    ASSERT_TRUE(PumpUntil([&] { return (status = sipp.Wait(0)) >= 0; }, 100))
        << "sipp did not finish";
    EXPECT_EQ(status, 0) << testsupport::ReadFileBytes(m_dir.file("sipp_errors.log"))
                         << sipp.Log().substr(0, 4000);
}

VM_CCall* SipLineFixture::AnswerFirstCall() {
    if (!PumpUntil([this] { return !m_owner.calls.empty(); })) return nullptr;
    VM_CCall* call = m_owner.calls[0].get();
    if (!call->VM_Answer()) return nullptr;
    if (!PumpUntilState(LINECALLSTATE_CONNECTED)) return nullptr;
    return call;
}

bool SipLineFixture::PumpUntilState(DWORD state) {
    return PumpUntil([this, state] { return m_owner.HasState(state); });
}

UINT SipLineFixture::CallDevice(const char* deviceClass, VM_CCall* call) {
    VM_CDeviceID id;
    EXPECT_EQ(id.VM_GetCallDeviceID(deviceClass, call->VM_GetHandle()), 0) << deviceClass;
    return id.VM_GetID();
}

}  // namespace siptest

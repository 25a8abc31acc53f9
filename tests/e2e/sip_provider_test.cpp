// `vocerra --headless` with a SIP account made by vocerra-sip-setup, at a
// registrar and proxy none of us wrote (kamailio): it registers with digest
// authentication, answers after the rings a call the proxy routes to it, the
// caller hears the greeting and leaves a message that is filed, and a stop
// removes the binding. A wrong password costs one REGISTER with credentials
// per attempt and the refusal is shown. Behind a home router the binding
// outlives the router's UDP time-out and the router's change of address.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "e2e/headless_fixture.h"
#include "e2e/home_router.h"
#include "e2e/sip_registrar.h"
#include "lines/sip/sip_settings.h"
#include "sip/sip_peers.h"
#include "store/shipped_data.h"
#include "support/scoped_env.h"

namespace e2e {
namespace {

std::size_t CountContaining(const std::vector<std::string>& lines, const std::string& text) {
    std::size_t n = 0;
    for (const std::string& line : lines) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
}

// The REGISTERs that carried credentials, per attempt (each attempt has a
// Call-ID of its own), in the order of the attempts; removals left out.
std::vector<std::size_t> CredentialsPerAttempt(const std::vector<std::string>& registers) {
    std::vector<std::string> attempts;
    std::map<std::string, std::size_t> credentials;
    for (const std::string& line : registers) {
        if (line.find(" expires=0 ") != std::string::npos) continue;
        const std::size_t at = line.find("cid=");
        const std::string cid = line.substr(at, line.find(' ', at) - at);
        if (credentials.find(cid) == credentials.end()) attempts.push_back(cid);
        credentials[cid] += line.find("auth=<null>") == std::string::npos ? 1 : 0;
    }
    std::vector<std::size_t> counts;
    for (const std::string& cid : attempts) counts.push_back(credentials[cid]);
    return counts;
}

class SipProvider : public HeadlessVocerra {
protected:
    void SetUp() override {
        for (const char* program : {"kamailio", "kamcmd", "sipp"})
            if (ProgramPath(program).empty())
                GTEST_SKIP() << program << " is not installed (scripts/deps.sh installs it)";
        HeadlessVocerra::SetUp();
        m_greeting = siptest::ULawOfWave(VM_FindShippedFile(VM_FOLDER_GREETING, "GTMain.wav"));
        m_beep = siptest::ULawOfWave(VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp0000.Wav"));
        ASSERT_GT(m_greeting.size(), 8000u);
        ASSERT_GT(m_beep.size(), 320u);
    }

    void StartRegistrar(const std::string& address, std::uint16_t port, const std::string& netns = "") {
        m_registrar = std::make_unique<SipRegistrar>(address, port, "alice", "secret", netns);
        ASSERT_TRUE(m_registrar->Ready()) << m_registrar->Log();
    }
    // The account as a user sets it up, the password on standard input;
    // then what a person could also edit in the registry file.
    void MakeAccount(const std::string& password, const std::vector<std::string>& more,
                     const std::function<void(sipline::SipSettings&)>& tune = nullptr) {
        std::vector<std::string> args = {"-c", "pw=$1; shift; printf '%s\\n' \"$pw\" | \"$@\"", "sh", password,
                                         VOCERRA_SIP_SETUP_BIN, "--account", "alice", "--server",
                                         m_registrar->Server(), "--password-stdin"};
        args.insert(args.end(), more.begin(), more.end());
        const Finished setup = RunProgram("/bin/sh", args, Env());
        ASSERT_EQ(0, setup.exitCode) << setup.output;
        if (!tune) return;
        const std::string file = Env()["VOCERRA_REGISTRY"];
        testsupport::ScopedEnv registry("VOCERRA_REGISTRY", file.c_str());
        sipline::SipSettings settings;
        ASSERT_TRUE(sipline::LoadSipSettings(&settings));
        tune(settings);
        ASSERT_TRUE(sipline::SaveSipSettings(settings));
    }
    std::string Show() { return RunProgram(VOCERRA_SIP_SETUP_BIN, {"--show"}, Env()).output; }
    // Stops the program; what it said on its log.
    std::vector<std::string> Stop() {
        m_vocerra->Signal(SIGTERM);
        EXPECT_EQ(0, m_vocerra->Wait()) << Err();
        std::vector<std::string> said = m_vocerra->ErrLines();
        m_vocerra.reset();
        return said;
    }

    // A caller through the proxy with its media at media. Like a phone it
    // sends packets all along: silence, a tone for two seconds after the
    // beep, silence again; the line takes the message and hangs up.
    void CallAndLeaveAMessage(siptest::RtpPeer& media, const std::string& address, const std::string& netns = "") {
        std::vector<std::string> argv;
        if (!netns.empty()) argv = {ProgramPath("ip"), "netns", "exec", netns};
        const std::vector<std::string> sipp = {
            "sipp", m_registrar->Server(), "-sf", std::string(VOCERRA_SIP_DATA) + "/caller_via_proxy.xml", "-s",
            "alice", "-i", address, "-p", std::to_string(siptest::FreePort()), "-mi", address, "-m", "1",
            "-nostdin", "-timeout", "120s", "-timeout_error", "-key", "rtpport", std::to_string(media.Port()),
            "-key", "caller_from", "\"Alice Test\" <sip:5551234@" + address + ">"};
        argv.insert(argv.end(), sipp.begin(), sipp.end());
        const std::size_t filed = m_vocerra->OutLines().size();
        siptest::PeerProcess caller(argv, m_runtime.path(), m_runtime.file("caller.log"));
        std::atomic<std::size_t> speakFrom{0};
        std::atomic<bool> hungUp{false};
        std::thread phone([&] {
            const std::string voice = siptest::ToneULaw(700.0, 16000);
            std::uint16_t sequence = 1;
            std::uint32_t timestamp = 5000;
            while (!hungUp && !media.HeardFromLine()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            for (auto due = std::chrono::steady_clock::now(); !hungUp; due += std::chrono::milliseconds(20)) {
                const std::size_t at = speakFrom == 0 ? voice.size() : (sequence - speakFrom) * 160;
                const std::string sound = at < voice.size() ? voice.substr(at, 160) : std::string(160, '\xFF');
                media.Send(0, sequence == 1, sequence, timestamp, sound);
                sequence++;
                timestamp += 160;
                if (speakFrom == 0 && media.Payloads(0).find(m_beep.substr(160, 160)) != std::string::npos)
                    speakFrom = sequence;
                std::this_thread::sleep_until(due + std::chrono::milliseconds(20));
            }
        });
        const bool greeted = WaitUntil([&] { return siptest::ShareFound(media.Payloads(0), m_greeting) >= 0.9; });
        const bool spoke = greeted && WaitUntil([&] { return speakFrom != 0; });
        std::string line;
        std::size_t seen = 0;
        const bool filedLine = spoke && m_vocerra->WaitForOut([&](const std::string& l) {
            line = l;
            return ++seen > filed && l.find("message left") != std::string::npos;
        });
        hungUp = true;
        phone.join();
        ASSERT_TRUE(greeted) << siptest::ShareFound(media.Payloads(0), m_greeting) << " of the greeting heard; "
                             << caller.Log() << Err() << m_registrar->Log();
        ASSERT_TRUE(spoke) << "the beep";
        ASSERT_TRUE(filedLine) << Err();
        EXPECT_NE(line.find("Alice Test (5551234)"), std::string::npos) << line;
        EXPECT_EQ(0, caller.Wait(60000)) << "the caller saw our BYE: " << caller.Log();
    }

    std::unique_ptr<SipRegistrar> m_registrar;
    std::string m_greeting;
    std::string m_beep;
};

TEST_F(SipProvider, WrongPasswordIsOfferedOncePerAttemptAndTheRefusalIsShown) {
    StartRegistrar("127.0.0.1", siptest::FreePort());
    MakeAccount("not-the-password", {"--listen", "127.0.0.1", "--port", std::to_string(siptest::FreePort())},
                [](sipline::SipSettings& s) { s.registerRetrySeconds = 1; });
    StartVocerra();
    ASSERT_TRUE(m_vocerra->WaitForErr([](const std::string& l) {
        return l.find("Registration: refused") != std::string::npos && l.find("401 Unauthorized") != std::string::npos;
    })) << Err() << m_registrar->Log();
    const std::string shown = Show();
    EXPECT_NE(shown.find("Registration: refused"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Last answer: 401 Unauthorized"), std::string::npos) << shown;
    ASSERT_TRUE(WaitUntil([this] { return CountContaining(m_registrar->Requests("REGISTER"), "auth=<null>") >= 3; }))
        << m_registrar->Log();
    const std::vector<std::string> said = Stop();

    const std::vector<std::size_t> perAttempt = CredentialsPerAttempt(m_registrar->Requests("REGISTER"));
    ASSERT_GE(perAttempt.size(), 3u) << m_registrar->Log();
    std::size_t answeredOnce = 0;
    for (std::size_t i = 0; i + 1 < perAttempt.size(); ++i) answeredOnce += perAttempt[i] == 1 ? 1 : 0;
    EXPECT_EQ(answeredOnce, perAttempt.size() - 1) << m_registrar->Log();
    EXPECT_LE(perAttempt.back(), 1u) << "the last attempt may have been stopped before its challenge";
    EXPECT_EQ(1u, CountContaining(said, "Registration: refused")) << "told once, not at every retry";
    EXPECT_TRUE(m_registrar->Bindings().empty());
}

TEST_F(SipProvider, RegistersAnswersACallThroughTheProxyAndTheStopRemovesTheBinding) {
    StartRegistrar("127.0.0.1", siptest::FreePort());
    const std::string sipPort = std::to_string(siptest::FreePort());
    MakeAccount("secret", {"--listen", "127.0.0.1", "--port", sipPort, "--rtp-ports", "16384-32000"});
    StartVocerra();
    EXPECT_EQ(1u, CountContaining(m_vocerra->ErrLines(), "(SIP Line (alice@" + m_registrar->Server() + "))"))
        << "a SIP account and no modem: the SIP line is the one chosen\n" << Err();
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Registration: registered; Last answer: 200 OK")))
        << Err() << m_registrar->Log();
    EXPECT_NE(m_registrar->Bindings().find("sip:alice@127.0.0.1:" + sipPort), std::string::npos)
        << m_registrar->Bindings();
    const std::string shown = Show();
    EXPECT_NE(shown.find("Registration: registered\nLast answer: 200 OK"), std::string::npos) << shown;

    siptest::RtpPeer media;
    CallAndLeaveAMessage(media, "127.0.0.1");
    const std::vector<std::string> said = Stop();
    std::string order;
    for (const std::string& line : said) {
        if (line.find("ringing") != std::string::npos) order += "R";
        if (line.find("Auto answering") != std::string::npos) order += "A";
    }
    EXPECT_EQ(order.substr(0, 2), "RA") << "answered after the rings";
    auto records = Records();
    ASSERT_EQ(1u, records.size());
    ASSERT_NE(nullptr, records[0]->VM_GetWaveFile());
    EXPECT_GT(testsupport::ReadFileBytes(records[0]->VM_GetWaveFile()).size(), 8000u) << "a second of the caller";
    EXPECT_TRUE(m_registrar->Bindings().empty()) << "the stop removed the binding: " << m_registrar->Bindings();
    EXPECT_NE(Show().find("Registration: unknown (Vocerra is not running)"), std::string::npos);
}

TEST_F(SipProvider, BehindAHomeRouterCallsArriveAfterItsUdpTimeOutAndAfterItsAddressChanged) {
    constexpr int kUdpTimeoutSeconds = 2;
    HomeRouter net(kUdpTimeoutSeconds);
    if (!net.Error().empty()) GTEST_SKIP() << "no network namespaces here (they need root): " << net.Error();
    StartRegistrar(HomeRouter::kOutsideAddress, 5060, net.Outside());
    // Listening on every address of the home network, as by default; a
    // keep-alive shorter than the router's time-out, a binding much longer.
    MakeAccount("secret", {"--keep-alive", "1", "--expires", "3600"});
    StartVocerra({ProgramPath("ip"), "netns", "exec", net.Home()});
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Registration: registered"))) << Err() << m_registrar->Log();
    EXPECT_NE(m_registrar->Bindings().find(HomeRouter::kPublicAddress), std::string::npos) << m_registrar->Bindings();
    // The time-out passes several times over before the call.
    std::this_thread::sleep_for(std::chrono::seconds(4 * kUdpTimeoutSeconds));
    std::unique_ptr<siptest::RtpPeer> media;
    net.Within(net.Outside(), [&] { media = std::make_unique<siptest::RtpPeer>(HomeRouter::kOutsideAddress); });
    ASSERT_NE(media, nullptr) << net.Error();
    CallAndLeaveAMessage(*media, HomeRouter::kOutsideAddress, net.Outside());

    ASSERT_TRUE(net.Renumber()) << net.Error();
    ASSERT_TRUE(WaitUntil([&] {
        return m_registrar->Bindings().find(HomeRouter::kNextPublicAddress) != std::string::npos;
    })) << "the binding follows the router's new address: " << m_registrar->Bindings() << Err();
    net.Within(net.Outside(), [&] { media = std::make_unique<siptest::RtpPeer>(HomeRouter::kOutsideAddress); });
    ASSERT_NE(media, nullptr) << net.Error();
    CallAndLeaveAMessage(*media, HomeRouter::kOutsideAddress, net.Outside());
    Stop();
    EXPECT_EQ(2u, Records().size());
}

}  // namespace
}  // namespace e2e

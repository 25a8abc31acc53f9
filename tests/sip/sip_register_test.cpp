// Registration of the SIP line at sipp acting as a registrar with digest
// authentication.
#include <gtest/gtest.h>

#include "sip/sip_fixture.h"

namespace siptest {
namespace {

class SipRegisterConcurrency : public SipLineFixture {
protected:
    // sipp as the registrar of alice/secret on a port of its own.
    std::unique_ptr<PeerProcess> Registrar(int registrations, const char* expires) {
        m_registrarPort = FreePort();
        std::vector<std::string> argv = {"sipp", "-sf", ScenarioPath("registrar.xml"), "-i", "127.0.0.1", "-p",
                                         std::to_string(m_registrarPort), "-m", std::to_string(registrations),
                                         "-nostdin", "-timeout", "90s", "-timeout_error", "-key", "account",
                                         "alice", "-key", "password", "secret", "-key", "expires", expires};
        return std::make_unique<PeerProcess>(argv, m_dir.path(), m_dir.file("registrar.log"));
    }
    sipline::SipSettings Account(const char* password) {
        sipline::SipSettings s = TestSettings();
        s.server = "127.0.0.1:" + std::to_string(m_registrarPort);
        s.account = "alice";
        s.password = password;
        return s;
    }
    std::uint16_t m_registrarPort = 0;
};

TEST_F(SipRegisterConcurrency, RightPasswordRegistersAndTheBindingIsRenewedBeforeItExpires) {
    auto registrar = Registrar(1, "2");  // a two-second binding
    StartLine(Account("secret"));
    ASSERT_TRUE(PumpUntil([this] { return Service().Registration().successes >= 2; }, 30))
        << registrar->Log() << " successes " << Service().Registration().successes << " status "
        << Service().Registration().lastStatus << " error " << Service().Registration().lastError;
    const sipline::RegistrationStatus status = Service().Registration();
    EXPECT_EQ(status.state, sipline::RegistrationStatus::State::kRegistered);
    EXPECT_EQ(status.lastStatus, 200);
    EXPECT_EQ(status.failures, 0u);
    EXPECT_EQ(status.attempts, 1u) << "renewed by the same registration, not started again";
    ExpectSippPassed(*registrar);
}

TEST_F(SipRegisterConcurrency, WrongPasswordIsReportedAndRetriedWithGrowingWaits) {
    auto registrar = Registrar(2, "3600");
    StartLine(Account("not-the-password"));
    ASSERT_TRUE(PumpUntil([this] { return Service().Registration().failures >= 1; }, 30)) << registrar->Log();
    sipline::RegistrationStatus status = Service().Registration();
    EXPECT_EQ(status.state, sipline::RegistrationStatus::State::kFailed);
    EXPECT_EQ(status.lastStatus, 403);
    EXPECT_EQ(status.nextRetryMs, 1000u);
    ASSERT_TRUE(PumpUntil([this] { return Service().Registration().failures >= 2; }, 30)) << registrar->Log();
    status = Service().Registration();
    EXPECT_EQ(status.attempts, 2u);
    EXPECT_EQ(status.lastStatus, 403);
    EXPECT_EQ(status.nextRetryMs, 2000u) << "the wait doubles";
    EXPECT_TRUE(PumpUntil([this] {
        for (DWORD state : m_owner.devStates)
            if (state == LINEDEVSTATE_OUTOFSERVICE) return true;
        return false;
    })) << "the line reports itself out of service";
    ExpectSippPassed(*registrar);
    // The line still takes calls sent straight to it.
    auto caller = Sipp("caller_held.xml", CallerKeys(FreePort()));
    VM_CCall* call = AnswerFirstCall();
    ASSERT_NE(call, nullptr) << caller->Log();
    ASSERT_TRUE(call->VM_Drop());
    ExpectSippPassed(*caller);
}

}  // namespace
}  // namespace siptest

namespace siptest {
namespace {

TEST_F(SipRegisterConcurrency, UnreachableRegistrarIsReportedAndRetried) {
    sipline::SipSettings s = TestSettings();
    // Nothing listens there; over TCP the refusal comes at once (over UDP
    // only the transaction's time-out of 32 s would tell).
    s.server = "127.0.0.1:" + std::to_string(FreePort()) + ";transport=tcp";
    s.account = "alice";
    s.password = "secret";
    StartLine(s);
    ASSERT_TRUE(PumpUntil([this] { return Service().Registration().failures >= 2; }));
    const sipline::RegistrationStatus status = Service().Registration();
    EXPECT_EQ(status.state, sipline::RegistrationStatus::State::kFailed);
    EXPECT_EQ(status.lastStatus, 0) << "no answer came";
    EXPECT_NE(status.lastError, 0);
    EXPECT_GE(status.attempts, 2u);
}

}  // namespace
}  // namespace siptest

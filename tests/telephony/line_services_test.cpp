// Several line services at once: one numbering of their devices, calls and
// requests routed to the service that owns them, and a removed service
// taking only its own calls with it.
#include "line_harness.h"
#include "lines/base/caller_text.h"
#include "lines/services/line_services.h"
#include "support/scoped_env.h"
#include "telephony/var_structs.h"

using linetest::PumpUntil;
using linetest::RecordingOwner;

namespace {

std::string LineName(DWORD device) {
    std::vector<BYTE> buffer(1024);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (lineGetDevCaps(VM_CTapi::VM_GetLineApp(), device, TAPI_VERSION_1_4, 0, caps) != 0) return "";
    if (caps->dwLineNameSize == 0) return "";
    return std::string(reinterpret_cast<const char*>(buffer.data()) + caps->dwLineNameOffset);
}

simline::LineConfig Named(const char* name) {
    simline::LineConfig config;
    config.name = name;
    return config;
}

class LineServicesTest : public linetest::SimLineTest {
protected:
    void TearDown() override {
        linetest::SimLineTest::TearDown();
        m_second.reset();
    }
    // A second service beside the harness's, its devices after the first's.
    simline::SimLineService& Second(std::vector<simline::LineConfig> lines) {
        m_second = std::make_unique<simline::SimLineService>(std::move(lines));
        m_second->Install();
        return *m_second;
    }
    void RemoveSecond() { m_second.reset(); }

private:
    std::unique_ptr<simline::SimLineService> m_second;
};

TEST_F(LineServicesTest, DevicesOfBothServicesAreNumberedInOneSequence) {
    UseLines({Named("first A"), Named("first B")});
    Second({Named("second A")});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    ASSERT_EQ(VM_CTapi::VM_GetNumLines(), 3u);
    EXPECT_EQ(LineName(0), "first A");
    EXPECT_EQ(LineName(1), "first B");
    EXPECT_EQ(LineName(2), "second A");
}

TEST_F(LineServicesTest, CallsWithTheSameServiceIdReachTheirOwnServiceAndLine) {
    UseLines({Named("first")});
    simline::SimLineService& second = Second({Named("second")});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner firstOwner;
    RecordingOwner secondOwner;
    OpenLine(&firstOwner, 0);
    OpenLine(&secondOwner, 1);
    // Both services number their first call 1.
    auto onFirst = Service().OfferCall(0, {});
    auto onSecond = second.OfferCall(0, {});
    ASSERT_EQ(onFirst->Id(), onSecond->Id());
    ASSERT_TRUE(PumpUntil([&] { return firstOwner.newCalls == 1 && secondOwner.newCalls == 1; }));

    ASSERT_TRUE(secondOwner.calls[0]->VM_Answer());
    ASSERT_TRUE(PumpUntil([&] { return secondOwner.HasState(LINECALLSTATE_CONNECTED); }));
    EXPECT_EQ(onSecond->AnswerRequests(), 1u);
    EXPECT_EQ(onFirst->AnswerRequests(), 0u);
    EXPECT_FALSE(firstOwner.HasState(LINECALLSTATE_CONNECTED));

    ASSERT_TRUE(secondOwner.calls[0]->VM_MonitorDigits(LINEDIGITMODE_DTMF));
    ASSERT_TRUE(onSecond->PressDigit('7'));
    ASSERT_TRUE(PumpUntil([&] { return !secondOwner.digits.empty(); }));
    EXPECT_EQ(secondOwner.digits[0].first, static_cast<DWORD>('7'));
    EXPECT_TRUE(firstOwner.digits.empty());
}

TEST_F(LineServicesTest, RemovedServiceTakesOnlyItsOwnCallsAndItsSlotIsReused) {
    UseLines({Named("first")});
    simline::SimLineService& second = Second({Named("second")});
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    RecordingOwner firstOwner;
    RecordingOwner secondOwner;
    OpenLine(&firstOwner, 0);
    OpenLine(&secondOwner, 1);
    auto onFirst = Service().OfferCall(0, {});
    second.OfferCall(0, {});
    ASSERT_TRUE(PumpUntil([&] { return firstOwner.newCalls == 1 && secondOwner.newCalls == 1; }));
    const HCALL secondCall = secondOwner.calls[0]->VM_GetHandle();

    RemoveSecond();
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    EXPECT_EQ(lineGetCallStatus(secondCall, &status), LINEERR_INVALCALLHANDLE);
    ASSERT_TRUE(firstOwner.calls[0]->VM_Answer());
    ASSERT_TRUE(PumpUntil([&] { return firstOwner.HasState(LINECALLSTATE_CONNECTED); }));

    // A service installed now takes the freed slot; the old handle still
    // names nothing, though the new service's first call has the same id.
    simline::SimLineService& third = Second({Named("third")});
    third.OfferCall(0, {});
    EXPECT_EQ(lineGetCallStatus(secondCall, &status), LINEERR_INVALCALLHANDLE);
}

class DefaultLineServices : public ::testing::Test {
protected:
    void TearDown() override { VM_CTapi::VM_Shutdown(); }
};

TEST_F(DefaultLineServices, SimulatedLineIsOfferedWhenNoOtherServiceHasALine) {
    testsupport::ScopedEnv noForce("VOCERRA_SIM_LINE", nullptr);
    testsupport::ScopedEnv noModems("VOCERRA_MODEM_PORTS", "");
    lines::LineServices services;
    ASSERT_NE(services.SimulatedLine(), nullptr);
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    ASSERT_EQ(VM_CTapi::VM_GetNumLines(), 1u);
    EXPECT_EQ(LineName(0), "Vocerra Simulated Line");
}

// The one filter every line's caller passes: whatever would act on a
// terminal or a window goes, the rest of the text stays readable.
TEST(CallerText, EscapeSequencesGoAndUtf8IsNeverCutInTwo) {
    EXPECT_EQ(lines::CallerText("\x1b[2J\x1b]0;x\x07" "Ann\r\n\x7f"), "[2J]0;xAnn");
    EXPECT_EQ(lines::CallerText("\xc2\x9b" "31mAnn \xc3\xa9"), "31mAnn \xc3\xa9") << "C1 CSI in UTF-8 goes";
    EXPECT_EQ(lines::CallerText("Ren\xe9\x9b"), "Ren\xc3\xa9") << "a stray byte is Latin-1";
    const std::string cut = lines::CallerText("a" + std::string(100, '\0') + std::string(126, 'x') + "\xe2\x82\xac");
    EXPECT_EQ(cut, "a" + std::string(126, 'x')) << "NULs go first, then a character that does not fit whole";
    const std::string euros = lines::CallerText([] {
        std::string text;
        for (int i = 0; i < 50; i++) text += "\xe2\x82\xac";
        return text;
    }());
    EXPECT_EQ(euros.size(), lines::kMaxCallerText - lines::kMaxCallerText % 3);
}

}  // namespace

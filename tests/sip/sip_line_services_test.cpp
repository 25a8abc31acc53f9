// The SIP line among the program's line services: there when its settings
// are, in place of the simulated line.
#include <gtest/gtest.h>

#include <vector>

#include "lines/services/line_services.h"
#include "lines/sip/sip_settings.h"
#include "sip/sip_peers.h"
#include "support/registry_file.h"
#include "support/scoped_env.h"
#include "telephony/tapi_session.h"

namespace siptest {
namespace {

std::string LineName(DWORD device) {
    std::vector<BYTE> buffer(1024);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (lineGetDevCaps(VM_CTapi::VM_GetLineApp(), device, TAPI_VERSION_1_4, 0, caps) != 0) return "";
    if (caps->dwLineNameSize == 0) return "";
    return std::string(reinterpret_cast<const char*>(buffer.data()) + caps->dwLineNameOffset);
}

class SipLineServices : public ::testing::Test {
protected:
    void TearDown() override { VM_CTapi::VM_Shutdown(); }
    testsupport::ScopedRegistryFile m_registry;
    testsupport::ScopedEnv m_noForce{"VOCERRA_SIM_LINE", nullptr};
};

TEST_F(SipLineServices, ConfiguredSipLineIsTheOnlyLineAndNamesItsAddress) {
    sipline::SipSettings settings;
    settings.listenAddress = "127.0.0.1";
    settings.listenPort = FreePort();
    ASSERT_TRUE(sipline::SaveSipSettings(settings));
    lines::LineServices services;
    EXPECT_EQ(services.SimulatedLine(), nullptr);
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    ASSERT_EQ(VM_CTapi::VM_GetNumLines(), 1u);
    EXPECT_EQ(LineName(0), "SIP Line (127.0.0.1:" + std::to_string(settings.listenPort) + ")");
}

TEST_F(SipLineServices, SipLineWhoseAddressCannotBeBoundLeavesTheSimulatedLine) {
    sipline::SipSettings settings;
    settings.listenAddress = "192.0.2.1";  // not an address of this machine
    ASSERT_TRUE(sipline::SaveSipSettings(settings));
    lines::LineServices services;
    EXPECT_NE(services.SimulatedLine(), nullptr);
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    ASSERT_EQ(VM_CTapi::VM_GetNumLines(), 1u);
    EXPECT_EQ(LineName(0), "Vocerra Simulated Line");
}

}  // namespace
}  // namespace siptest

// Finding modems and installing them beside the simulated line: the ports
// the user names, the probe that tells a voice modem from other serial
// devices, and the simulated line offered only when no modem has a line.
#include "modem/modem_line_fixture.h"
#include "lines/modem/modem_ports.h"
#include "lines/services/line_services.h"
#include "lines/sim/sim_line_service.h"
#include "support/scoped_env.h"

namespace modemtest {
namespace {

std::string LineName(DWORD device) {
    std::vector<BYTE> buffer(1024);
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (lineGetDevCaps(VM_CTapi::VM_GetLineApp(), device, TAPI_VERSION_1_4, 0, caps) != 0) return "";
    return std::string(reinterpret_cast<const char*>(buffer.data()) + caps->dwLineNameOffset);
}

class ModemServices : public ::testing::Test {
protected:
    void SetUp() override { m_modem = std::make_unique<modemsim::ModemSimulator>(m_dir.path(), modemsim::Family::kV253); }
    void TearDown() override { VM_CTapi::VM_Shutdown(); }

    testsupport::ScopedRegistryFile m_registry;
    testsupport::TempDir m_dir;
    testsupport::ScopedEnv m_lockDir{"VOCERRA_MODEM_LOCK_DIR", m_dir.path().c_str()};
    std::unique_ptr<modemsim::ModemSimulator> m_modem;
};

TEST_F(ModemServices, WaveMapperNeverPicksTheModemLinesOwnDevices) {
    modemline::ModemSettings settings;
    settings.port = m_modem->Path();
    settings.lockDir = m_dir.path();
    modemline::ModemLineService service({settings});
    DWORD out = 0;
    ASSERT_EQ(service.GetWaveId(0, 0, false, &out), 0);
    HWAVEOUT handle = nullptr;
    // The user's speakers: no sound card here, so no device at all rather
    // than the telephone line.
    EXPECT_NE(waveOutOpen(&handle, WAVE_MAPPER, &kMuLaw, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutOpen(&handle, out, &kMuLaw, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    waveOutClose(handle);
}

TEST_F(ModemServices, NamedPortsAreSplitAnyWay) {
    EXPECT_EQ(modemline::SplitPortList(" /dev/ttyACM0;/dev/ttyUSB1, /dev/ttyS0 "),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/ttyS0"}));
    EXPECT_TRUE(modemline::SplitPortList("").empty());
}

TEST_F(ModemServices, ProbeTellsAVoiceModemFromADeviceThatNeverAnswers) {
    EXPECT_TRUE(modemline::ProbeVoiceModem(m_modem->Path(), m_dir.path(), 2000));
    m_modem->IgnoreCommandsWith("FCLASS");
    EXPECT_FALSE(modemline::ProbeVoiceModem(m_modem->Path(), m_dir.path(), 300));
}

TEST_F(ModemServices, PortInUseByAnotherProgramIsLeftAlone) {
    // A UUCP lock held by a running program (this one).
    const std::string lock = modemline::LockFilePath(m_modem->Path(), m_dir.path());
    testsupport::WriteFileBytes(lock, "     " + std::to_string(getpid()) + "\n");
    EXPECT_FALSE(modemline::ProbeVoiceModem(m_modem->Path(), m_dir.path(), 300));
    EXPECT_TRUE(m_modem->Commands().empty()) << "nothing was sent to the port";
    // A stale lock (its owner is gone) is taken over.
    testsupport::WriteFileBytes(lock, "   999999\n");
    EXPECT_TRUE(modemline::ProbeVoiceModem(m_modem->Path(), m_dir.path(), 2000));
}

TEST_F(ModemServices, ModemLineComesFirstAndTheSimulatedLineOnlyWhenForced) {
    testsupport::ScopedEnv ports("VOCERRA_MODEM_PORTS", m_modem->Path().c_str());
    testsupport::ScopedEnv force("VOCERRA_SIM_LINE", nullptr);
    {
        lines::LineServices services;
        EXPECT_EQ(services.SimulatedLine(), nullptr);
        ASSERT_TRUE(VM_CTapi::VM_Initialize());
        ASSERT_EQ(VM_CTapi::VM_GetNumLines(), 1u);
        EXPECT_EQ(LineName(0), "Voice Modem (ttyACM0)");
        VM_CTapi::VM_Shutdown();
    }
    force.Set("1");
    lines::LineServices services;
    ASSERT_NE(services.SimulatedLine(), nullptr);
    ASSERT_TRUE(VM_CTapi::VM_Initialize());
    ASSERT_EQ(VM_CTapi::VM_GetNumLines(), 2u);
    EXPECT_EQ(LineName(1), "Vocerra Simulated Line");
}

}  // namespace
}  // namespace modemtest

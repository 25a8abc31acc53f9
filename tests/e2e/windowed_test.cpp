// The windowed program as a process: a second start shows the running
// copy's window and ends with 1, or says that the running copy has none;
// SIGTERM ends it cleanly; without any display the program says so and
// answers without windows; a message puts up a desktop notification that the
// program's end withdraws.
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "app/notification_bus.h"
#include "audio/wave_file.h"
#include "e2e/headless_fixture.h"

namespace e2e {
namespace {

class WindowedVocerra : public HeadlessVocerra {
protected:
    // Notifications go to busAddress, never to the desktop of whoever runs
    // the tests.
    Environment WindowedEnv(const std::string& busAddress = "") const {
        Environment env = Env();
        env["QT_QPA_PLATFORM"] = "offscreen";
        env["DBUS_SESSION_BUS_ADDRESS"] = !busAddress.empty() ? busAddress : "unix:path=" + m_runtime.file("no-bus");
        return env;
    }
    // The running copy listens for a second start once it has started up.
    bool WaitUntilListening() {
        const std::string socket = m_runtime.file("instance.sock");
        for (int i = 0; i < 1200 && m_vocerra->Running(); ++i) {
            struct stat st {};
            if (stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
};

TEST_F(WindowedVocerra, ASecondStartShowsTheFirstAndEndsWithOne) {
    m_cfg.reset();
    m_vocerra = std::make_unique<BackgroundProgram>(VOCERRA_BIN, std::vector<std::string>{}, WindowedEnv());
    ASSERT_TRUE(WaitUntilListening()) << Err();

    const Finished second = RunProgram(VOCERRA_BIN, {}, WindowedEnv());
    EXPECT_EQ(1, second.exitCode) << second.output;
    EXPECT_NE(std::string::npos, second.output.find("already running")) << second.output;
    EXPECT_NE(std::string::npos, second.output.find("its window is shown")) << second.output;
    EXPECT_TRUE(m_vocerra->Running());
    // The fixture's end: SIGTERM, and a clean exit with 0.
}

// The user service runs the copy without windows: a start on the desktop
// says so instead of that the running copy did not answer.
TEST_F(WindowedVocerra, AStartWhileTheCopyWithoutWindowsRunsSaysSo) {
    StartVocerra();
    const Finished second = RunProgram(VOCERRA_BIN, {}, WindowedEnv());
    EXPECT_EQ(1, second.exitCode) << second.output;
    EXPECT_NE(std::string::npos, second.output.find("running for this user without windows")) << second.output;
    EXPECT_TRUE(m_vocerra->Running());
}

// A first start has no line chosen: it answers on the voice line there is
// instead of starting with answering off until the modem set-up.
TEST_F(WindowedVocerra, AFirstStartAnswersOnTheLineThereIs) {
    m_cfg->m_idLine = -1;
    m_cfg->VM_Save();
    m_cfg.reset();
    m_vocerra = std::make_unique<BackgroundProgram>(VOCERRA_BIN, std::vector<std::string>{}, WindowedEnv());
    ASSERT_TRUE(WaitUntilListening()) << Err();
    const Finished call = Call({"--from", "5550100", "--name", "Ann", "--say", "hello", "--rings", "8"});
    EXPECT_EQ(0, call.exitCode) << call.output;
    EXPECT_NE(std::string::npos, call.output.find("answered")) << call.output;
}

TEST_F(WindowedVocerra, WithoutADisplayItSaysSoAndAnswersWithoutWindows) {
    m_cfg.reset();
    Environment env = Env();
    env["DISPLAY"] = "";
    env["WAYLAND_DISPLAY"] = "";
    env["QT_QPA_PLATFORM"] = "";
    m_vocerra = std::make_unique<BackgroundProgram>(VOCERRA_BIN, std::vector<std::string>{}, env);
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Vocerra answering on line 0"))) << Err();
    EXPECT_TRUE(m_vocerra->WaitForErr(Contains("no display"))) << Err();
}

TEST_F(WindowedVocerra, AMessageIsNotifiedOnTheSessionBusAndWithdrawnAtTheEnd) {
    apptest::NotificationBus bus;
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    m_cfg->m_nAlertMode = 2;  // calls that left a message
    m_cfg->VM_Save();
    m_cfg.reset();
    m_vocerra =
        std::make_unique<BackgroundProgram>(VOCERRA_BIN, std::vector<std::string>{}, WindowedEnv(bus.Address()));
    ASSERT_TRUE(WaitUntilListening()) << Err();

    const Finished call = Call({"--from", "5550100", "--name", "Ann Example", "--say", "call me back"});
    EXPECT_EQ(0, call.exitCode) << call.output;
    std::vector<apptest::NotifyEvent> shown;
    for (int i = 0; i < 600 && shown.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        shown = bus.Events("Notify");
    }
    ASSERT_EQ(1u, shown.size()) << Err();
    EXPECT_EQ("Vocerra", shown[0].app);
    EXPECT_EQ("New message from Ann Example", shown[0].summary);
    EXPECT_EQ((std::vector<std::string>{"default", "Show", "play", "Play", "show", "Show"}), shown[0].actions);
    EXPECT_EQ(0, shown[0].timeout) << "it stays until the message is read";

    // Its actions would reach no one once the program is gone.
    m_vocerra->Signal(SIGTERM);
    EXPECT_EQ(0, m_vocerra->Wait()) << Err();
    m_vocerra.reset();
    const std::vector<apptest::NotifyEvent> withdrawn = bus.Events("CloseNotification");
    ASSERT_EQ(1u, withdrawn.size());
    EXPECT_EQ(shown[0].id, withdrawn[0].id);

    // The length is the recording's, in whole seconds.
    const auto records = Records();
    ASSERT_EQ(1u, records.size());
    VM_CWaveFile message(records[0]->VM_GetWaveFile(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(message.VM_IsOpen());
    const long seconds =
        std::lround(static_cast<double>(message.VM_GetDataSize()) / message.VM_GetFormat()->nAvgBytesPerSec);
    const std::string length =
        std::to_string(seconds / 60) + (seconds % 60 < 10 ? ":0" : ":") + std::to_string(seconds % 60);
    EXPECT_EQ("5550100\nMailbox 0, message of " + length, shown[0].body);
}

}  // namespace
}  // namespace e2e

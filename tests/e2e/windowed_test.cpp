// The windowed program as a process: a second start shows the running
// copy's window and ends with 1; SIGTERM ends it cleanly; without any
// display the program says so and answers without windows.
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "e2e/headless_fixture.h"

namespace e2e {
namespace {

class WindowedVocerra : public HeadlessVocerra {
protected:
    Environment WindowedEnv() const {
        Environment env = Env();
        env["QT_QPA_PLATFORM"] = "offscreen";
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

}  // namespace
}  // namespace e2e

// vocerra-call run as a process against the server in this test process:
// its errors, and a whole call answered by the small answering owner.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>

#include "remote/remote_harness.h"

extern char** environ;

namespace {

using remotetest::RemoteLineTest;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs vocerra-call with the arguments; its output goes through files.
ToolRun RunTool(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<std::string> argv{VOCERRA_CALL_TOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    const std::string outPath = folder + "/tool.out";
    const std::string errPath = folder + "/tool.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ToolRun run;
    if (posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = testsupport::ReadFileBytes(outPath);
    run.err = testsupport::ReadFileBytes(errPath);
    return run;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class VocerraCallConcurrency : public RemoteLineTest {
protected:
    ToolRun Run(const std::vector<std::string>& args) { return RunTool(args, m_dir.path()); }
};

TEST_F(VocerraCallConcurrency, NoVocerraRunningIsAClearError) {
    const ToolRun run = Run({"--from", "5550100", "--record-to", m_dir.file("heard.wav")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(testsupport::FileExists(m_dir.file("heard.wav"))) << "nothing left behind";
    EXPECT_TRUE(Has(run.err, "vocerra-call: no Vocerra is running")) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
}

TEST_F(VocerraCallConcurrency, MalformedOptionsAreRefusedBeforeAnythingIsCalled) {
    ASSERT_TRUE(StartServer());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--frm", "1"}, {"--rings"}, {"--rings", "0"}, {"--rings", "3x"},
          {"--hang-up-after", "-1"}, {"--hang-up-after", "1e3"}, {"--digits", "12z"},
          {"--say", "hi", "--play", "a.wav"}, {"stray"}, {"--from="}}) {
        const ToolRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_TRUE(Has(run.err, "Try 'vocerra-call --help'.")) << run.err;
    }
    const ToolRun help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Has(help.out, "--hang-up-after SECS"));
    PumpUntil([] { return true; });
    EXPECT_EQ(m_owner.newCalls, 0);
}

TEST_F(VocerraCallConcurrency, MissingUnreadableOrNonWaveFileIsAClearError) {
    ASSERT_TRUE(StartServer());
    testsupport::WriteFileBytes(m_dir.file("notes.wav"), "RIFF....this is no wave file");
    const ToolRun missing = Run({"--play", m_dir.file("missing.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Has(missing.err, "cannot read " + m_dir.file("missing.wav"))) << missing.err;
    const ToolRun folder = Run({"--play", m_dir.path()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_TRUE(Has(folder.err, "cannot read")) << folder.err;
    const ToolRun junk = Run({"--play", m_dir.file("notes.wav")});
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_TRUE(Has(junk.err, "is not a WAVE file")) << junk.err;
    const ToolRun record = Run({"--record-to", m_dir.file("no/such/folder/call.wav")});
    EXPECT_EQ(record.exitCode, 1);
    EXPECT_TRUE(Has(record.err, "cannot write")) << record.err;
    PumpUntil([] { return true; });
    EXPECT_EQ(m_owner.newCalls, 0) << "nothing is called with a bad file";
}

TEST_F(VocerraCallConcurrency, WholeCallRingsHearsGreetingAndBeepLeavesTheMessageAndHangsUp) {
    ASSERT_TRUE(StartServer());
    auto message = testsupport::ToInt16Range(testsupport::Tone({{700.0, 9000.0}}, 1000));
    testsupport::WriteWavePcm16(m_dir.file("say.wav"), std::vector<int16_t>(message.begin(), message.end()));
    auto tool = std::async(std::launch::async, [&] {
        return Run({"--from", "5550100", "--name", "Jane Doe", "--play", m_dir.file("say.wav"), "--digits", "12,#",
                    "--record-to", m_dir.file("heard.wav")});
    });
    ASSERT_TRUE(PumpUntil([&] { return tool.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const ToolRun run = tool.get();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(PumpUntil([&] { return m_owner.finished; }));
    // Answered at the second ring; a third may come before the answer lands.
    const std::string rang = "rang " + std::to_string(m_owner.ringCounts.size()) + " times\n";
    EXPECT_GE(m_owner.ringCounts.size(), 2u);
    EXPECT_TRUE(Has(run.out, "calling from 5550100 (Jane Doe)\n" + rang + "answered\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "pressed 12\npressed #\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "greeting heard for 0.6 s\nbeep at 0.6 s (1000 Hz, 0.30 s)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "message left: 1.0 s\nhung up after ")) << run.out;
    EXPECT_TRUE(Has(run.out, "\nrecording of the call: " + m_dir.file("heard.wav") + "\n")) << run.out;
    std::string pressed;
    for (auto [digit, mode] : m_owner.digits) pressed += static_cast<char>(digit);
    EXPECT_EQ(pressed, "12#");
    // What the owner recorded holds the whole message; what the tool
    // recorded is what the line played.
    std::vector<int16_t> recorded = testsupport::ReadWavePcm16(m_dir.file("message.wav"));
    EXPECT_GE(recorded.size(), 8000u);
    EXPECT_EQ(testsupport::ReadWavePcm16(m_dir.file("heard.wav")), remotetest::GreetingAndBeep());
}

TEST_F(VocerraCallConcurrency, SpokenMessageIsLeftAndTheCallerHangsUpWhenAsked) {
    if (testsupport::Speech("test").empty()) GTEST_SKIP() << "espeak-ng or sox missing";
    ASSERT_TRUE(StartServer());
    auto tool = std::async(std::launch::async, [&] {
        return Run({"--say", "--Hello, this is a message left by a test.", "--hang-up-after", "30"});
    });
    ASSERT_TRUE(PumpUntil([&] { return tool.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const ToolRun run = tool.get();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "message left: ")) << run.out;
    EXPECT_TRUE(Has(run.out, "\nhung up after ")) << run.out;
    ASSERT_TRUE(PumpUntil([&] { return m_owner.finished; }));
    // Speech, at least a second of it, reached the owner's recording.
    std::vector<int16_t> recorded = testsupport::ReadWavePcm16(m_dir.file("message.wav"));
    EXPECT_GT(recorded.size(), 8000u);
    EXPECT_GT(testsupport::RmsDbfs(recorded), -40.0);
}

TEST_F(VocerraCallConcurrency, WideStereoFileIsConvertedToTheLinesRate) {
    const std::string wide = m_dir.file("wide.wav");
    const std::string make = "sox -q -n -r 16000 -c 2 -b 16 '" + wide + "' synth 1 sine 700 >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "sox missing";
    ASSERT_TRUE(StartServer());
    auto tool = std::async(std::launch::async, [&] { return Run({"--play", wide}); });
    ASSERT_TRUE(PumpUntil([&] { return tool.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const ToolRun run = tool.get();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "message left: 1.0 s\n")) << run.out;
    ASSERT_TRUE(PumpUntil([&] { return m_owner.finished; }));
    EXPECT_GE(testsupport::ReadWavePcm16(m_dir.file("message.wav")).size(), 8000u);
}

TEST_F(VocerraCallConcurrency, LineHangingUpAfterAnAnnouncementEndsTheCallWithoutAMessage) {
    m_owner.hangUpAfterGreeting = true;
    // An announcement without a beep, as a blocked caller hears it.
    auto chord = testsupport::ToInt16Range(testsupport::Tone({{440.0, 5000.0}, {1300.0, 5000.0}}, 800));
    testsupport::WriteWavePcm16(m_dir.file("greeting.wav"), std::vector<int16_t>(chord.begin(), chord.end()));
    ASSERT_TRUE(StartServer());
    auto tool = std::async(std::launch::async, [&] { return Run({"--from", "5550199", "--say", "Hello"}); });
    ASSERT_TRUE(PumpUntil([&] { return tool.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const ToolRun run = tool.get();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "answered\nheard 0.8 s from the line, no beep\n"
                             "no message left: the call ended before the beep\nVocerra hung up after "))
        << run.out;
}

TEST_F(VocerraCallConcurrency, UnansweredCallGivesUpAfterTheRingsAsked) {
    m_owner.answerAfterRings = 100;
    ASSERT_TRUE(StartServer());
    auto tool = std::async(std::launch::async,
                           [&] { return Run({"--rings", "3", "--late-caller-id", "--from", "5550111"}); });
    ASSERT_TRUE(PumpUntil([&] { return tool.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const ToolRun run = tool.get();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(PumpUntil([&] { return m_owner.HasState(LINECALLSTATE_DISCONNECTED); }));
    // The ringing stops at the third ring; a fourth could only slip in if
    // the tool were held up for a whole ring period.
    const size_t rings = m_owner.ringCounts.size();
    EXPECT_TRUE(rings == 3 || rings == 4) << rings;
    EXPECT_EQ(run.out, "calling from 5550111\nrang " + std::to_string(rings) + " times, no answer\nhung up\n");
    EXPECT_EQ(m_owner.infoStates, (std::vector<DWORD>{LINECALLINFOSTATE_CALLERID})) << "reported once, late";
}

}  // namespace

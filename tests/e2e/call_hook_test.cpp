// The owner's command after every call ("OnCall" in the registry file), run
// by `vocerra --headless`: caller data reaches it only as environment values,
// one that hangs is killed at its limit while calls go on being answered,
// and one that cannot run costs one trace line.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "audio/wave_file.h"
#include "audio/wave_test_files.h"
#include "e2e/headless_fixture.h"

namespace e2e {
namespace {

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + separator.size())
        parts.push_back(text.substr(start, end - start));
    if (start < text.size()) parts.push_back(text.substr(start));
    return parts;
}

// A process that still runs: /proc has it, and not as a zombie waiting
// for a parent that does not reap.
bool Alive(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t paren = text.rfind(')');
    return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] != 'Z';
}

class CallHook : public HeadlessVocerra {
protected:
    void SetUp() override {
        HeadlessVocerra::SetUp();
        m_workDir = m_runtime.path();
    }
    // A shell script the test owns; "@" in body stands for the runtime folder.
    std::string Script(const std::string& name, std::string body, mode_t mode = 0755) {
        for (size_t at; (at = body.find('@')) != std::string::npos;) body.replace(at, 1, m_runtime.path());
        const std::string path = m_runtime.file(name);
        testsupport::WriteFileBytes(path, "#!/bin/sh\n" + body);
        chmod(path.c_str(), mode);
        return path;
    }
    // Replaces the registry file as a person's editor would.
    void SetOnCall(const std::string& command) {
        const std::string file = m_runtime.file("registry.reg");
        testsupport::WriteFileBytes(file + ".new",
                                    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vocerra]\r\n\"OnCall\"=\"" + command +
                                        "\"\r\n\r\n");
        std::rename((file + ".new").c_str(), file.c_str());
    }
    std::vector<std::string> TraceLines(const std::string& containing) {
        std::vector<std::string> found;
        for (const std::string& line : Split(testsupport::ReadFileBytes(m_runtime.file("dbg_err.txt")), "\r\n"))
            if (line.find(containing) != std::string::npos) found.push_back(line);
        return found;
    }
    std::string Trace() { return testsupport::ReadFileBytes(m_runtime.file("dbg_err.txt")); }
    void Stop() {
        m_vocerra->Signal(SIGTERM);
        EXPECT_EQ(0, m_vocerra->Wait()) << Err();
        m_vocerra.reset();
    }
};

TEST_F(CallHook, CallerDataArrivesAsEnvironmentValuesAndRunsNothing) {
    std::string stored = "Zo\xC3\xAB \"Q\" O'Brien $(touch @/pwned1) `touch @/pwned2`; touch @/pwned3\nline two";
    for (size_t at; (at = stored.find('@')) != std::string::npos;) stored.replace(at, 1, m_runtime.path());
    AddEntry(AddFolder(0, "Friends"), {stored.c_str(), "555-0199", nullptr, nullptr, 0});
    SetOnCall(Script("hook.sh", "env -0 > @/env.out\npwd > @/pwd.out\necho \"$#\" > @/argc.out\necho hook ran\n"));
    StartVocerra();

    std::vector<int16_t> tone(8000 * 3);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(8000.0 * std::sin(0.55 * i));
    const std::string voice = m_runtime.file("voice.wav");
    wavetest::WriteWave(voice, wavetest::Format(WAVE_FORMAT_PCM, 16), wavetest::Pcm16Bytes(tone));
    // The name's own line break splits the line Vocerra prints.
    EXPECT_EQ(0, Call({"--from", "5550199", "--play", voice}).exitCode);
    ASSERT_TRUE(m_vocerra->WaitForOut(Contains("message left"))) << Err();
    ASSERT_TRUE(WaitUntil([&] { return !TraceLines("OnCall output: hook ran").empty(); })) << Trace();

    std::map<std::string, std::string> env;
    for (const std::string& entry : Split(testsupport::ReadFileBytes(m_runtime.file("env.out")), std::string(1, '\0')))
        env[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    auto records = Records();
    ASSERT_EQ(1u, records.size());
    VM_CCallInfo& record = *records[0];
    EXPECT_EQ(stored, env["VOCERRA_CALLER_NAME"]);
    EXPECT_EQ("5550199", env["VOCERRA_CALLER_NUMBER"]);
    // "2024/05/01, 14:03:22" is "2024-05-01T14:03:22" and the local offset.
    std::string time = record.VM_GetAttr(VM_CCallInfo::kAttrTime);
    time = std::regex_replace(time, std::regex("^(\\d+)/(\\d+)/(\\d+), "), "$1-$2-$3T");
    EXPECT_TRUE(std::regex_match(env["VOCERRA_CALL_TIME"], std::regex(time + "[+-]\\d\\d:\\d\\d")))
        << env["VOCERRA_CALL_TIME"] << " for " << time;
    ASSERT_NE(nullptr, record.VM_GetWaveFile());
    EXPECT_EQ(record.VM_GetWaveFile(), env["VOCERRA_MESSAGE_FILE"]);
    VM_CWaveFile message(record.VM_GetWaveFile(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(message.VM_IsOpen());
    const double seconds = static_cast<double>(message.VM_GetDataSize()) / message.VM_GetFormat()->nAvgBytesPerSec;
    EXPECT_EQ(std::to_string(std::lround(seconds)), env["VOCERRA_MESSAGE_SECONDS"]);
    EXPECT_EQ("0", env["VOCERRA_MAILBOX"]);
    EXPECT_EQ("Inbox", env["VOCERRA_FOLDER"]);
    EXPECT_EQ("0", env["VOCERRA_BLOCKED"]);

    EXPECT_EQ("0\n", testsupport::ReadFileBytes(m_runtime.file("argc.out"))) << "no arguments";
    EXPECT_EQ(m_dir.path() + "\n", testsupport::ReadFileBytes(m_runtime.file("pwd.out"))) << "in the program folder";
    for (const char* pwned : {"pwned1", "pwned2", "pwned3"})
        EXPECT_FALSE(testsupport::FileExists(m_runtime.file(pwned))) << pwned << " was run";
}

TEST_F(CallHook, AHangingCommandIsKilledAtItsLimitWhileCallsAreAnsweredOnTime) {
    SetOnCall(Script("hang.sh", "echo \"$VOCERRA_CALLER_NUMBER\" >> @/calls.txt\nsleep 1000 &\n"
                                "echo $! $$ >> @/pids.txt\nwait\n"));
    StartVocerra();
    CallAndWaitForLine({"--from", "5550101", "--hang-up-after", "1"});
    ASSERT_TRUE(WaitUntil([&] { return Split(testsupport::ReadFileBytes(m_runtime.file("pids.txt")), "\n").size() == 1; }));
    Finished second;
    const std::string line = CallAndWaitForLine({"--from", "5550102", "--hang-up-after", "1"}, &second);
    EXPECT_EQ(2, NumberAfter(second.output, "rang")) << "answered at the configured rings\n" << second.output;
    EXPECT_NE(std::string::npos, line.find("5550102")) << line;

    ASSERT_TRUE(WaitUntil([&] { return !TraceLines("did not end within 30 seconds and was killed").empty(); }))
        << Trace();
    // The second call's run starts only once the first is over.
    ASSERT_TRUE(WaitUntil([&] { return Split(testsupport::ReadFileBytes(m_runtime.file("pids.txt")), "\n").size() == 2; }));
    EXPECT_EQ("5550101\n5550102\n", testsupport::ReadFileBytes(m_runtime.file("calls.txt")));
    const std::vector<std::string> runs = Split(testsupport::ReadFileBytes(m_runtime.file("pids.txt")), "\n");
    for (const std::string& pid : Split(runs[0], " "))
        EXPECT_TRUE(WaitUntil([&] { return !Alive(pid); })) << "the first run's " << pid << " goes with it";

    // The end waits one limit at most for the run of the second call.
    Stop();
    EXPECT_EQ(2u, TraceLines("was killed").size()) << Trace();
    for (const std::string& pid : Split(runs[1], " ")) EXPECT_TRUE(WaitUntil([&] { return !Alive(pid); })) << pid;
}

TEST_F(CallHook, ACommandThatIsMissingOrNotExecutableCostsOneTraceLineEach) {
    SetOnCall(m_runtime.file("absent.sh"));
    StartVocerra();
    const std::string first = CallAndWaitForLine({"--from", "5550101", "--hang-up-after", "1"});
    EXPECT_NE(std::string::npos, first.find("5550101")) << first;
    ASSERT_TRUE(WaitUntil([&] { return TraceLines("OnCall").size() == 1; })) << Trace();

    // Changed while the program runs, as a user on a remote shell would.
    const Finished set = RunProgram(VOCERRA_BIN, {"config", "set", "OnCall", Script("plain.sh", "touch @/ran\n", 0644)},
                                    Env());
    ASSERT_EQ(0, set.exitCode) << set.output;
    const std::string second = CallAndWaitForLine({"--from", "5550102", "--hang-up-after", "1"});
    EXPECT_NE(std::string::npos, second.find("5550102")) << second;
    ASSERT_TRUE(WaitUntil([&] { return TraceLines("OnCall").size() == 2; })) << Trace();
    Stop();

    const std::vector<std::string> lines = TraceLines("OnCall");
    ASSERT_EQ(2u, lines.size()) << Trace();
    EXPECT_NE(std::string::npos, lines[0].find("absent.sh\" cannot be started: No such file or directory")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("plain.sh\" cannot be started: Permission denied")) << lines[1];
    EXPECT_EQ(2u, Records().size()) << "both calls are filed";
    EXPECT_FALSE(testsupport::FileExists(m_runtime.file("ran")));
}

}  // namespace
}  // namespace e2e

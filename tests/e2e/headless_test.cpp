// `vocerra --headless` as a user runs it, called by `vocerra-call` from
// another process: what the caller hears, what Vocerra prints, and what it
// files in the call log.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>

#include "audio/wave_file.h"
#include "audio/wave_test_files.h"
#include "e2e/headless_fixture.h"
#include "notify/new_call_notice.h"
#include "store/addr_entry.h"
#include "store/app_config.h"
#include "store/message_recovery.h"
#include "support/modem_simulator.h"

namespace e2e {
namespace {

// A WAVE file of one tone, 8 kHz 16-bit.
std::string ToneFile(const testsupport::TempDir& dir, const std::string& name, double hz, double seconds) {
    std::vector<int16_t> samples(static_cast<size_t>(seconds * 8000));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / 8000.0));
    const std::string path = dir.file(name);
    wavetest::WriteWave(path, wavetest::Format(WAVE_FORMAT_PCM, 16), wavetest::Pcm16Bytes(samples));
    return path;
}

// Strength of one frequency in 16-bit samples (a single DFT bin).
double Strength(const std::vector<int16_t>& samples, double hz) {
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / 8000.0;
        re += samples[i] * std::cos(phase);
        im += samples[i] * std::sin(phase);
    }
    return samples.empty() ? 0.0 : std::sqrt(re * re + im * im) / static_cast<double>(samples.size());
}

std::vector<int16_t> ReadPcm16(const std::string& path, size_t maxSamples) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    const std::string bytes = wavetest::ReadAllData(file);
    std::vector<int16_t> samples;
    for (size_t i = 0; i + 1 < bytes.size() && samples.size() < maxSamples; i += 2)
        samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return samples;
}

long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

VM_CCallInfo* RecordFrom(const std::vector<std::unique_ptr<VM_CCallInfo>>& records, const char* number) {
    for (const auto& record : records)
        if (std::strcmp(record->VM_GetAttr(VM_CCallInfo::kAttrNumber), number) == 0) return record.get();
    return nullptr;
}

class Headless : public HeadlessVocerra {};

TEST_F(Headless, UnknownCallerLeavesAMessageFiledInTheInbox) {
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "voice.wav", 700.0, 3.0);
    Finished call;
    const std::string line = CallAndWaitForLine({"--from", "5550100", "--name", "Ann", "--play", voice}, &call);
    EXPECT_NE(call.output.find("answered"), std::string::npos) << call.output;
    EXPECT_NE(call.output.find("message left"), std::string::npos) << call.output;
    EXPECT_NE(line.find("Ann (5550100)"), std::string::npos) << line;
    EXPECT_NE(line.find("message left"), std::string::npos) << line;

    auto records = Records();
    ASSERT_EQ(1u, records.size()) << Err();
    const char* wave = records[0]->VM_GetWaveFile();
    ASSERT_NE(nullptr, wave);
    EXPECT_NE(line.find(wave), std::string::npos) << "the printed line names the recording";
    EXPECT_GT(FileSize(wave), 8000) << "at least a second of the caller";
    EXPECT_STREQ("5550100", records[0]->VM_GetAttr(VM_CCallInfo::kAttrNumber));
    EXPECT_FALSE(records[0]->VM_GetFlags() & VM_CCallInfo::kFlagBlocked);
}

TEST_F(Headless, SecondCopyEndsWithAMessageAndTheFirstKeepsAnswering) {
    StartVocerra();
    Finished second = RunProgram(VOCERRA_BIN, {"--headless"}, Env(), 60);
    EXPECT_NE(0, second.exitCode);
    EXPECT_NE(second.output.find("already running"), std::string::npos) << second.output;
    ASSERT_TRUE(m_vocerra->Running());
    const std::string line = CallAndWaitForLine({"--from", "5550100", "--hang-up-after", "1"});
    EXPECT_NE(line.find("5550100"), std::string::npos) << line;
}

TEST_F(Headless, CallerInTheAddressBookHearsThePersonalGreeting) {
    const std::string greeting = ToneFile(m_dir, "Ann.wav", 1500.0, 2.0);
    int32_t friends = AddFolder(0, "My Friends");
    AddEntry(friends, {"Ann Friend", "555-0107", nullptr, nullptr, 0, greeting.c_str()});
    StartVocerra();
    const std::string heard = m_runtime.file("heard.wav");
    Finished call;
    const std::string line =
        // The caller's clock runs on while a loaded machine is slow to start the
        // greeting, so stay on the line well past its two seconds.
        CallAndWaitForLine({"--from", "5550107", "--hang-up-after", "8", "--record-to", heard}, &call);
    EXPECT_NE(line.find("Ann Friend"), std::string::npos) << "named from the address book: " << line;
    // The first two seconds after the answer are the 1500 Hz greeting, not the main one.
    const std::vector<int16_t> samples = ReadPcm16(heard, 8000 * 20);
    ASSERT_GT(samples.size(), 16000u) << call.output;
    EXPECT_GT(Strength(samples, 1500.0), 20.0 * Strength(samples, 1100.0)) << call.output;
}

TEST_F(Headless, BlockedCallersAreAnsweredAtOnceInEachMode) {
    int32_t blocked = AddFolder(0, "Blocked");
    AddEntry(blocked, {"Hang up", "555-0101", nullptr, nullptr, VM_CAddrEntry::kFlagBlockHangUp});
    AddEntry(blocked, {"Tone", "555-0102", nullptr, nullptr, VM_CAddrEntry::kFlagBlockTone});
    AddEntry(blocked, {"Announce", "555-0103", nullptr, nullptr, VM_CAddrEntry::kFlagBlockAnnounce});
    m_cfg->m_nRings = 6;
    StartVocerra();
    for (const char* number : {"5550101", "5550102", "5550103"}) {
        SCOPED_TRACE(number);
        Finished call;
        const std::string line = CallAndWaitForLine({"--from", number, "--hang-up-after", "20"}, &call);
        EXPECT_NE(line.find("blocked"), std::string::npos) << line;
        const int rings = NumberAfter(call.output, "rang");
        EXPECT_GE(rings, 1) << call.output;
        EXPECT_LT(rings, 6) << "answered before the configured rings: " << call.output;
    }
    auto records = Records();
    ASSERT_EQ(3u, records.size());
    for (auto& record : records) {
        EXPECT_TRUE(record->VM_GetFlags() & VM_CCallInfo::kFlagBlocked);
        EXPECT_EQ(nullptr, record->VM_GetWaveFile()) << "a blocked caller leaves no message";
    }
}

TEST_F(Headless, CallerHangingUpWhileItRingsLeavesNoMessageAndTheNextCallIsAnswered) {
    m_cfg->m_nRings = 4;
    StartVocerra();
    Finished early;
    const std::string line = CallAndWaitForLine({"--from", "5550100", "--rings", "2"}, &early);
    EXPECT_EQ(std::string::npos, early.output.find("answered\n")) << early.output;
    EXPECT_NE(line.find("no message"), std::string::npos) << line;
    auto records = Records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(nullptr, records[0]->VM_GetWaveFile());

    Finished next;
    CallAndWaitForLine({"--from", "5550101", "--hang-up-after", "1"}, &next);
    EXPECT_NE(next.output.find("answered"), std::string::npos) << "the line was reopened: " << next.output;
}

// The simulated line's hang-up is certain: silence detection is not waited
// for, in the greeting or after the message.
TEST_F(Headless, CallerHangingUpEndsTheCallAtOnceInTheGreetingAndAfterTheMessage) {
    m_cfg->m_nSilenceSeconds = 30;
    StartVocerra();
    const std::string early = CallAndWaitForLine({"--from", "5550100", "--hang-up-after", "1"});
    EXPECT_NE(early.find("no message"), std::string::npos) << "no recording of the silence after: " << early;
    const std::string voice = ToneFile(m_dir, "voice.wav", 700.0, 3.0);
    CallAndWaitForLine({"--from", "5550101", "--play", voice});

    auto records = Records();
    ASSERT_EQ(2u, records.size()) << Err();
    VM_CCallInfo* greeting = RecordFrom(records, "5550100");
    VM_CCallInfo* message = RecordFrom(records, "5550101");
    ASSERT_TRUE(greeting != nullptr && message != nullptr);
    EXPECT_EQ(nullptr, greeting->VM_GetWaveFile());
    ASSERT_NE(nullptr, message->VM_GetWaveFile());
    // Three seconds of voice and the caller's half second before hanging up;
    // waiting for the silence to be detected would add thirty.
    const double seconds = wavetest::DataSeconds(message->VM_GetWaveFile());
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 15.0);
}

// A second caller finds the line taken: he rings until the first call has
// ended, is answered then, and both calls are filed.
TEST_F(Headless, CallerArrivingDuringACallIsAnsweredOnceTheLineIsFree) {
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "voice.wav", 700.0, 6.0);
    BackgroundProgram first(VOCERRA_CALL_BIN, {"--from", "5550100", "--play", voice}, Env());
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Recording voice message"))) << Err();
    const Finished second = Call({"--from", "5550101", "--hang-up-after", "1"});
    EXPECT_EQ(0, first.Wait());
    EXPECT_NE(second.output.find("\nanswered\n"), std::string::npos) << second.output << Err();
    EXPECT_TRUE(m_vocerra->WaitForOut(Contains("5550101"))) << Err();
    auto records = Records();
    EXPECT_EQ(2u, records.size()) << Err();
    EXPECT_NE(nullptr, RecordFrom(records, "5550101"));
}

TEST_F(Headless, TollSaverRingsTwoMoreTimesUntilAMessageWaits) {
    m_cfg->VM_SetFlag(true, VM_FLAG_TOLL_SAVER);
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "voice.wav", 700.0, 2.0);
    Finished first, second;
    CallAndWaitForLine({"--from", "5550100", "--play", voice}, &first);
    EXPECT_EQ(4, NumberAfter(first.output, "rang")) << "no new message: rings + 2\n" << first.output;
    CallAndWaitForLine({"--from", "5550100", "--hang-up-after", "1"}, &second);
    EXPECT_EQ(2, NumberAfter(second.output, "rang")) << "a message waits: the configured rings\n" << second.output;
}

// A change made while the copy runs is applied by it, and its own save at
// exit does not put the old value back.
TEST_F(Headless, ConfigSetReachesTheRunningCopyAndOutlivesItsExit) {
    StartVocerra();
    const Finished refused = RunProgram(VOCERRA_BIN, {"config", "set", "Rings", "100"}, Env(), 60);
    EXPECT_EQ(1, refused.exitCode);
    EXPECT_NE(refused.output.find("1 to 99"), std::string::npos) << refused.output;
    const Finished set = RunProgram(VOCERRA_BIN, {"config", "set", "Rings", "4"}, Env(), 60);
    EXPECT_EQ(0, set.exitCode) << set.output;
    EXPECT_NE(set.output.find("running Vocerra"), std::string::npos) << set.output;

    Finished call;
    CallAndWaitForLine({"--from", "5550123", "--hang-up-after", "1"}, &call);
    EXPECT_EQ(4, NumberAfter(call.output, "rang")) << call.output;
    const Finished listed = RunProgram(VOCERRA_BIN, {"messages", "inbox"}, Env(), 60);
    EXPECT_EQ(0, listed.exitCode) << listed.output;
    EXPECT_NE(listed.output.find("5550123"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("new"), std::string::npos) << listed.output;

    m_vocerra->Signal(SIGTERM);
    EXPECT_EQ(0, m_vocerra->Wait());
    m_vocerra.reset();
    const VM_CAppCfg cfg(m_dir.path().c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
    EXPECT_EQ(4, cfg.m_nRings);
}

TEST_F(Headless, CallTimeLimitEndsALongMessage) {
    m_cfg->m_nMaxCallMinutes = 1;
    m_cfg->m_nSilenceSeconds = 0;  // only the limit may end it
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "long.wav", 700.0, 150.0);
    Finished call;
    const std::string line = CallAndWaitForLine({"--from", "5550100", "--play", voice}, &call);
    EXPECT_TRUE(m_vocerra->WaitForErr(Contains("Time limit of the call reached")));
    const int seconds = NumberAfter(line, "message left,");
    EXPECT_GT(seconds, 20) << line;
    EXPECT_LE(seconds, 62) << "the minute counts from the offering: " << line;
}

TEST_F(Headless, RemoteRetrievalCallIsNotLogged) {
    m_cfg->VM_SetFlag(true, VM_FLAG_REMOTE_RETRIEVAL);
    m_cfg->m_nSilenceSeconds = 0;  // the caller's hang-up ends the call at once
    StartVocerra();
    // #, the menu's 1, then the default password once its prompt is over.
    const std::string line =
        CallAndWaitForLine({"--from", "5550100", "--digits", "#,1,908172#", "--hang-up-after", "30"});
    EXPECT_NE(line.find("not logged"), std::string::npos) << line << "\n" << Err();
    EXPECT_TRUE(m_vocerra->WaitForErr(Contains("Start remote retrieval")));
    EXPECT_TRUE(Records().empty());
}

// A notice is due for the call, and the record is filed only once it has
// gone (here: failed, no mail server): the call is not taken for one the
// call flow kept out of the log.
TEST_F(Headless, CallWhoseNoticeIsStillGoingOutIsNotSaidToBeUnlogged) {
    m_cfg->m_nNotifyMode = VM_NOTIFY_ALL;
    VM_CAppCfg::VM_SetText(m_cfg->m_szSender, "vocerra@example.com");
    VM_CAppCfg::VM_SetText(m_cfg->m_szEmail[0], "owner@example.com");
    VM_CAppCfg::VM_SetText(m_cfg->m_szSmtpServer, "127.0.0.1");
    m_cfg->m_nSmtpPort = 9;  // discard: nobody listens here
    StartVocerra();
    const std::string line = CallAndWaitForLine({"--from", "5550100", "--hang-up-after", "1"});
    EXPECT_NE(line.find("5550100"), std::string::npos) << line;
    for (const std::string& out : m_vocerra->OutLines())
        EXPECT_EQ(std::string::npos, out.find("not logged")) << out;
}

// `vocerra --headless | head -c 20`: the reader leaves, the answering goes on.
TEST_F(Headless, ReaderLeavingTheOutputDoesNotStopTheAnswering) {
    m_cfg.reset();
    m_vocerra = std::make_unique<BackgroundProgram>(VOCERRA_BIN, std::vector<std::string>{"--headless"}, Env(), "", true);
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Vocerra answering on line 0"))) << Err();
    for (const char* number : {"5550100", "5550101"}) {
        const Finished call = Call({"--from", number, "--hang-up-after", "1"});
        EXPECT_NE(call.output.find("\nanswered\n"), std::string::npos) << number << "\n" << call.output << Err();
    }
    for (int i = 0; i < 600 && Records().size() < 2; i++) usleep(100000);  // a guard, not a timing check
    EXPECT_EQ(2u, Records().size()) << Err();
}

TEST_F(Headless, StopSignalsDuringACallLetItBeFiledWithItsRecording) {
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "long.wav", 700.0, 120.0);
    BackgroundProgram caller(VOCERRA_CALL_BIN, {"--from", "5550100", "--play", voice}, Env());
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Sound detected")));
    m_vocerra->Signal(SIGTERM);
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Stopping once the call in progress has ended")));
    EXPECT_TRUE(m_vocerra->Running()) << "the call goes on";
    m_vocerra->Signal(SIGINT);
    EXPECT_EQ(0, m_vocerra->Wait());
    caller.Wait();
    auto records = Records();
    ASSERT_EQ(1u, records.size()) << Err();
    ASSERT_NE(nullptr, records[0]->VM_GetWaveFile()) << "the message is kept";
    EXPECT_GT(FileSize(records[0]->VM_GetWaveFile()), 44 + 100) << "more than a header";
    m_vocerra.reset();
}

// The number of seconds after `what` in vocerra-call's account
// ("message cut off after 6.3 s of 60.0 s" -> 6.3), or -1.
double SecondsAfter(const std::string& text, const std::string& what) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(what + " ([0-9.]+) s"))) return -1.0;
    return std::stod(match[1]);
}

std::string MessageFileIn(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind("Msg", 0) == 0) return entry.path().string();
    return {};
}

TEST_F(Headless, AMessageBeingRecordedWhenTheProgramIsKilledIsFiledAtTheNextStart) {
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "long.wav", 700.0, 120.0);
    BackgroundProgram caller(VOCERRA_CALL_BIN, {"--from", "5550100", "--name", "Ann", "--play", voice}, Env());
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("Sound detected")));
    std::string recording;
    for (int i = 0; i < 3000 && FileSize(recording) < 46 + 6 * 16000; ++i) {  // guard only
        usleep(10000);
        if (recording.empty()) recording = MessageFileIn(m_dir.file("Voice"));
    }
    // Not just as a write reached the file: a recording held back in the
    // program would have seconds of the caller in hand by then.
    usleep(400000);
    m_vocerra->Signal(SIGKILL);
    m_vocerra->Wait();
    caller.Wait();
    std::string account;
    for (const std::string& line : caller.OutLines()) account += line + "\n";
    const double sent = SecondsAfter(account, "message cut off after");
    ASSERT_GT(sent, 5.0) << account;

    StartVocerra();
    ASSERT_TRUE(m_vocerra->WaitForErr(Contains("was recovered and filed in the Inbox"))) << Err();
    auto records = Records();
    ASSERT_EQ(1u, records.size()) << Err();
    EXPECT_STREQ("Ann", records[0]->VM_GetAttr(VM_CCallInfo::kAttrName)) << "the caller, from the journal";
    EXPECT_STREQ("5550100", records[0]->VM_GetAttr(VM_CCallInfo::kAttrNumber));
    EXPECT_STREQ(VM_RECOVERED_CALL_NOTE, records[0]->VM_GetAttr(VM_CCallInfo::kAttrNotes));
    const char* wave = records[0]->VM_GetWaveFile();
    ASSERT_NE(nullptr, wave);
    const std::vector<int16_t> samples = ReadPcm16(wave, 1u << 24);
    // All the line had taken from the caller, but for the buffers still on
    // their way to the file.
    EXPECT_GT(samples.size() / 8000.0, sent - 0.75) << account;
    ASSERT_GT(samples.size(), 8000u);
    const std::vector<int16_t> last(samples.end() - 8000, samples.end());
    EXPECT_GT(Strength(last, 700.0), 2000.0) << "the caller's tone up to the end of the file";
    size_t notices = 0;
    for (const std::string& line : m_vocerra->ErrLines()) notices += line.find("recovered") != std::string::npos;
    EXPECT_EQ(1u, notices) << Err();
}

TEST_F(Headless, TwentyCallsInARowLeakNoThreadDescriptorOrMemory) {
    m_timeScale = "16";  // only counts are checked here, nothing heard
    StartVocerra();
    const std::string voice = ToneFile(m_dir, "voice.wav", 700.0, 1.0);
    auto call = [&](int i) { CallAndWaitForLine({"--from", "55501" + std::to_string(10 + i), "--play", voice}); };
    for (int i = 0; i < 5; i++) call(i);  // caches, arenas and the prompts settle
    const ProcessCounts before = CountProcess(m_vocerra->Pid());
    for (int i = 5; i < 20; i++) call(i);
    const ProcessCounts after = CountProcess(m_vocerra->Pid());
    EXPECT_EQ(20u, Records().size());
    EXPECT_EQ(before.threads, after.threads);
    EXPECT_EQ(before.fds, after.fds);
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own bookkeeping grows with every allocation.
    EXPECT_LT(after.rssKb - before.rssKb, 2048) << before.rssKb << " kB -> " << after.rssKb << " kB";
#endif
}

bool HasControl(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c < 0x20 || c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F)) return true;
    }
    return false;
}

// A caller's name and number reach the terminal and the call log as plain
// text; a control character in a name of the owner's own is printed escaped.
TEST_F(Headless, ControlCharactersInTheCallerIdNeverReachTheTerminalOrTheCallLog) {
    AddEntry(AddFolder(0, "Friends"), {"Bob\x1b]0;owned\x07", "555-0142", nullptr, nullptr, 0});
    StartVocerra();
    const std::string line = CallAndWaitForLine(
        {"--from", "555\r\n0100", "--name", "\x1b[2J<h1>Police</h1>\r\nX\xc2\x9b", "--hang-up-after", "1"});
    EXPECT_NE(line.find("[2J<h1>Police</h1>X (5550100)"), std::string::npos) << line;
    const std::string known = CallAndWaitForLine({"--from", "5550142", "--hang-up-after", "1"});
    EXPECT_NE(known.find("Bob\\x1b]0;owned\\x07"), std::string::npos) << known;
    for (const std::string& printed : m_vocerra->OutLines()) EXPECT_FALSE(HasControl(printed)) << printed;
    for (const std::string& printed : m_vocerra->ErrLines()) EXPECT_FALSE(HasControl(printed)) << printed;
    bool filed = false;
    for (auto& record : Records()) {
        const char* number = record->VM_GetAttr(VM_CCallInfo::kAttrNumber);
        if (number == nullptr || std::string(number) != "5550100") continue;
        filed = true;
        EXPECT_STREQ(record->VM_GetAttr(VM_CCallInfo::kAttrName), "[2J<h1>Police</h1>X");
    }
    EXPECT_TRUE(filed) << Err();
}

// A voice modem passes on whatever the telephone network sent: the raw
// message may hold any byte, a formatted name an escape sequence and any
// length a report line holds. Neither reaches the terminal or the call log
// as it came.
TEST_F(Headless, ControlCharactersInAModemsCallerIdNeverReachTheTerminalOrTheCallLog) {
    modemsim::ModemSimulator modem(m_runtime.path(), modemsim::Family::kV253);
    m_modemPorts = modem.Path();
    StartVocerra();
    modemsim::CallerIdSpec raw;
    raw.unformatted = true;
    raw.number = std::string("555\0\r\n0100", 10);
    raw.name = "\x1b[2JEVE\r\n\xc2\x9b";
    modemsim::CallerIdSpec formatted;
    formatted.number = "5550101";
    formatted.name = "\x1b]0;owned\x07" + std::string(200, 'M');
    std::vector<std::string> lines;
    for (const modemsim::CallerIdSpec& caller : {raw, formatted}) {
        const size_t before = m_vocerra->OutLines().size();
        // Rings well inside the line's give-up time, however late this
        // thread runs on a loaded machine.
        for (int ring = 0; ring < 30 && !modem.OffHook(); ++ring) {
            modem.Ring();
            if (ring == 0) modem.SendCallerId(caller);
            modem.WaitFor([&] { return modem.OffHook(); }, 500);
        }
        ASSERT_TRUE(modem.OffHook()) << "never answered\n" << Err();
        modem.Report('l');
        lines.push_back(LineAfter(before));
        ASSERT_TRUE(modem.WaitFor([&] { return !modem.OffHook(); })) << Err();
    }
    const std::string bounded = "]0;owned" + std::string(120, 'M');
    EXPECT_NE(lines[0].find("[2JEVE (5550100)"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(bounded + " (5550101)"), std::string::npos) << lines[1];
    for (const std::string& printed : m_vocerra->OutLines()) EXPECT_FALSE(HasControl(printed)) << printed;
    std::vector<std::string> filed;
    for (auto& record : Records())
        if (const char* name = record->VM_GetAttr(VM_CCallInfo::kAttrName)) filed.emplace_back(name);
    EXPECT_EQ(filed, (std::vector<std::string>{"[2JEVE", bounded})) << Err();
}

TEST_F(Headless, DamagedCallLogIsSetAsideTheUserIsToldAndCallsAreStillFiled) {
    m_cfg.reset();
    const std::string inbox = m_dir.file("Config/QvLV0001.Cfg");
    testsupport::WriteFileBytes(inbox, std::string("\x05\x00\x00\x00garbage", 11));
    StartVocerra();
    const std::string line = CallAndWaitForLine({"--from", "5550100", "--hang-up-after", "1"});
    EXPECT_NE(line.find("5550100"), std::string::npos) << line;
    EXPECT_TRUE(m_vocerra->WaitForErr(Contains("could not be read whole"))) << Err();
    EXPECT_TRUE(testsupport::FileExists(inbox + ".damaged"));
    EXPECT_EQ(1u, Records().size());
}

}  // namespace
}  // namespace e2e

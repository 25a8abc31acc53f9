// The remote party served over the local socket, driven by the client the
// tool uses, against the simulated line and a small answering owner.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>

#include "line_client.h"
#include "lines/sim/sim_line_protocol.h"
#include "lines/sim/sim_line_socket.h"
#include "remote/remote_harness.h"
#include "tone_finder.h"

namespace {

using callclient::LineClient;
using remotetest::RemoteLineTest;

// A client that writes raw bytes, for what LineClient never sends.
class RawClient {
public:
    explicit RawClient(const std::string& path) {
        std::string error;
        bool absent = false;
        m_fd = simline::ConnectPrivate(path, &error, &absent);
        EXPECT_GE(m_fd, 0) << error;
    }
    ~RawClient() {
        if (m_fd >= 0) close(m_fd);
    }
    void Send(const std::string& bytes) { ASSERT_TRUE(simline::SendAll(m_fd, bytes.data(), bytes.size())); }
    // The next reply line, or "<closed>" when the server closed.
    std::string Line() {
        std::string line;
        char c;
        while (recv(m_fd, &c, 1, 0) == 1) {
            if (c == '\n') return line;
            line += c;
        }
        return "<closed>";
    }
    std::string Ask(const std::string& request) {
        Send(request + "\n");
        return Line();
    }

private:
    int m_fd = -1;
};

double Strength(const std::vector<int16_t>& samples, double hz) {
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / 8000.0;
        re += samples[i] * std::cos(phase);
        im += samples[i] * std::sin(phase);
    }
    return std::sqrt(re * re + im * im) / static_cast<double>(samples.size());
}

std::string Mode(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return "missing";
    char text[8];
    std::snprintf(text, sizeof text, "%04o", st.st_mode & 07777);
    return text;
}

class RemoteServerConcurrency : public RemoteLineTest {};

TEST_F(RemoteServerConcurrency, FolderAndSocketAreTheOwnersAlone) {
    ASSERT_TRUE(StartServer());
    EXPECT_EQ(m_server->SocketPath(), m_dir.path() + "/run/sim-line.sock");
    EXPECT_EQ(Mode(m_dir.path() + "/run"), "0700");
    EXPECT_EQ(Mode(m_server->SocketPath()), "0600");
    m_server->Stop();
    EXPECT_EQ(Mode(m_server->SocketPath()), "missing") << "the socket goes with the server";
}

TEST_F(RemoteServerConcurrency, PeerOfAnotherUserIsRefusedWithOneErrorLine) {
    simline::RemoteServerOptions options;
    options.allowedUid = geteuid() + 1;
    ASSERT_TRUE(StartServer(options));
    RawClient raw(m_server->SocketPath());
    EXPECT_EQ(raw.Line(), "ERR this line belongs to another user");
    EXPECT_EQ(raw.Line(), "<closed>");
    LineClient client;
    std::string error;
    EXPECT_FALSE(client.Connect(m_server->SocketPath(), &error));
    EXPECT_NE(error.find("another user"), std::string::npos) << error;
    EXPECT_EQ(m_owner.newCalls, 0);
}

TEST_F(RemoteServerConcurrency, MalformedAndOverlongRequestsGetAnErrorAndTheConnectionStaysUsable) {
    ASSERT_TRUE(StartServer());
    RawClient raw(m_server->SocketPath());
    for (const char* bad : {"", "   ", "FROB", "STATUS", "CALL from=%zz", "CALL from=%4", "CALL line=x",
                            "CALL flags=99999999999999999999", "CALL line=7"})
        EXPECT_EQ(raw.Ask(bad).rfind("ERR ", 0), 0u) << bad;
    raw.Send(std::string("HEL\x01LO\n"));
    EXPECT_EQ(raw.Line().rfind("ERR ", 0), 0u);
    raw.Send(std::string(simline::kMaxRequestLine + 10, 'A') + "\n");
    EXPECT_EQ(raw.Line(), "ERR request too long");
    // Megabytes without a line end: one error, the rest skipped up to the LF.
    raw.Send(std::string(3 * simline::kMaxRequestLine, 'B'));
    EXPECT_EQ(raw.Line(), "ERR request too long");
    raw.Send(std::string(1 << 20, 'C') + "\nHELLO\n");
    EXPECT_EQ(raw.Line().rfind("OK vocerra-sim-line 1 ", 0), 0u);

    ASSERT_EQ(raw.Ask("CALL from=5550100"), "OK 1");
    ASSERT_TRUE(PumpUntil([&] { return m_owner.newCalls == 1; }));
    EXPECT_EQ(raw.Ask("CALL"), "ERR this connection already has a call");
    for (const char* bad : {"RINGING", "RINGING 0", "RINGING -5", "DIGITS 12x", "DIGITS", "AUDIO -1", "AUDIO",
                            "SEND", "SEND TONE 1 2", "SEND TONE 99999 0 0 0", "SEND FILE %",
                            "SEND FILE /no/such/file.wav", "RECORD a b", "CALLERID from=%G0"})
        EXPECT_EQ(raw.Ask(bad).rfind("ERR ", 0), 0u) << bad;
    EXPECT_EQ(raw.Ask("DIGITS 12"), "ERR the call is not connected");
    // A file is read whole into the process: a huge one is refused unread.
    const std::string huge = m_dir.file("huge.wav");
    testsupport::WriteFileBytes(huge, "RIFF");
    ASSERT_EQ(truncate(huge.c_str(), 1ll << 32), 0);
    EXPECT_EQ(raw.Ask("SEND FILE " + simline::PercentEncode(huge)), "ERR file too large");
    EXPECT_EQ(raw.Ask("STATUS"), "OK state=offering rings=0 answered=0 dropped=0 captured=0 sent=0 left=0");
    EXPECT_EQ(raw.Ask("BYE"), "OK");
    EXPECT_EQ(raw.Line(), "<closed>");
    // The call went with its connection, as a caller putting the phone down.
    EXPECT_TRUE(PumpUntil([&] { return m_owner.HasState(LINECALLSTATE_DISCONNECTED); }));
}

TEST_F(RemoteServerConcurrency, CallRingsIsAnsweredAndAudioAndDigitsCrossBothWays) {
    m_owner.answerAfterRings = 3;
    ASSERT_TRUE(StartServer());
    LineClient client;
    std::string error;
    ASSERT_TRUE(client.Connect(m_server->SocketPath(), &error)) << error;
    EXPECT_DOUBLE_EQ(client.Scale(), remotetest::kScale);
    ASSERT_TRUE(client.Request("CALL from=5550100 name=Jane%20Doe"));
    ASSERT_TRUE(PumpUntil([&] { return m_owner.calls.size() == 1; }));
    VM_CCallInfor info(m_owner.calls[0]->VM_GetHandle());
    ASSERT_EQ(info.VM_Query(), 0);
    char name[1000] = "";
    char number[1000] = "";
    info.VM_GetInterpretedCallerID(name, number);
    EXPECT_STREQ(number, "5550100");
    EXPECT_STREQ(name, "Jane Doe");

    EXPECT_EQ(client.Request("RING"), "1");
    ASSERT_TRUE(client.Request("RINGING 2000"));
    ASSERT_TRUE(PumpUntil([&] { return m_owner.HasState(LINECALLSTATE_CONNECTED); }));
    auto status = client.Status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->state, "connected");
    EXPECT_TRUE(status->answered);
    // Answered at the third ring; one more may come before the answer lands.
    ASSERT_TRUE(PumpUntil([&] { return m_owner.ringCounts.size() == status->rings; }));
    EXPECT_GE(status->rings, 3u);
    for (size_t i = 0; i < m_owner.ringCounts.size(); i++) EXPECT_EQ(m_owner.ringCounts[i], i + 1);

    // The line plays greeting and beep: the caller hears them sample for sample.
    ASSERT_TRUE(client.Request("SEND TONE 1200 0 0 0 9000"));
    ASSERT_TRUE(PumpUntil([&] { return m_owner.recording; }));
    std::vector<int16_t> heard;
    ASSERT_TRUE(client.Audio(0, &heard)) << client.LastError();
    EXPECT_EQ(heard, remotetest::GreetingAndBeep());
    callclient::ToneFinder finder;
    finder.Feed(heard);
    finder.Flush();
    ASSERT_TRUE(finder.Beep());
    EXPECT_NEAR(finder.Beep()->start, 8 * remotetest::kGreetingMs, callclient::ToneFinder::kBlock);
    EXPECT_NEAR(finder.Beep()->frequency, remotetest::kBeepHz, 40.0);

    ASSERT_TRUE(client.Request("DIGITS 1#9*"));
    ASSERT_TRUE(PumpUntil([&] { return m_owner.digits.size() >= 4; }));
    std::string pressed;
    for (auto [digit, mode] : m_owner.digits)
        if (mode == LINEDIGITMODE_DTMF) pressed += static_cast<char>(digit);
    EXPECT_EQ(pressed, "1#9*");

    // Half a second of the caller's tone, taken by the recorder to the end.
    auto tone = testsupport::ToInt16Range(testsupport::Tone({{1200.0, 9000.0}}, 500));
    testsupport::WriteWavePcm16(m_dir.file("caller.wav"), std::vector<int16_t>(tone.begin(), tone.end()));
    EXPECT_EQ(client.Request("SEND FILE " + simline::PercentEncode(m_dir.file("caller.wav"))), "4000");
    ASSERT_TRUE(PumpUntil([&] {
        auto s = client.Status();
        return s && s->left == 0 && s->sent == 4000;
    }));
    ASSERT_TRUE(client.Request("HANGUP"));
    ASSERT_TRUE(PumpUntil([&] { return m_owner.finished; }));
    EXPECT_FALSE(client.Request("HANGUP")) << "a call is hung up once";
    status = client.Status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->state, "idle");

    std::vector<int16_t> recorded = testsupport::ReadWavePcm16(m_dir.file("message.wav"));
    ASSERT_GE(recorded.size(), 4000u);
    const double caller = Strength(recorded, 1200.0);
    EXPECT_GT(caller, 1000.0);
    EXPECT_GT(caller, 20.0 * Strength(recorded, 1000.0));
}

}  // namespace

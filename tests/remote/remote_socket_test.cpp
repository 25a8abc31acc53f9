// The socket's folder and file: private to the user, a stale socket
// replaced, a live one or anything else left alone; the process-wide
// server's start and stop; the connection limit.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "line_client.h"
#include "lines/sim/sim_line_protocol.h"
#include "lines/sim/sim_line_socket.h"
#include "remote/remote_harness.h"

namespace {

using remotetest::RemoteLineTest;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class RemoteSocket : public RemoteLineTest {
protected:
    std::string Folder() const { return m_dir.path() + "/run"; }
    std::string StartError(const std::string& path) {
        simline::RemoteServerOptions options;
        options.socketPath = path;
        simline::RemoteLineServer server(Service(), options);
        std::string error;
        EXPECT_FALSE(server.Start(&error));
        return error;
    }
};

TEST_F(RemoteSocket, FolderOfAnotherUserIsRefused) {
    ASSERT_EQ(mkdir(Folder().c_str(), 0700), 0);
    // Root in the tests: hand the folder to somebody else.
    ASSERT_EQ(chown(Folder().c_str(), geteuid() + 1000, static_cast<gid_t>(-1)), 0);
    const std::string error = StartError(Folder() + "/sim-line.sock");
    EXPECT_NE(error.find("belongs to another user"), std::string::npos) << error;
}

TEST_F(RemoteSocket, LooseFolderIsMadePrivateAndASymlinkIsNoFolder) {
    ASSERT_EQ(mkdir(Folder().c_str(), 0755), 0);
    ASSERT_EQ(chmod(Folder().c_str(), 0777), 0);
    ASSERT_TRUE(StartServer());
    EXPECT_EQ(ModeOf(Folder()), 0700u);
    m_server->Stop();

    ASSERT_EQ(symlink(Folder().c_str(), (m_dir.path() + "/link").c_str()), 0);
    const std::string error = StartError(m_dir.path() + "/link/sim-line.sock");
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
}

TEST_F(RemoteSocket, StaleSocketIsReplacedButALiveOneOrAFileIsNot) {
    std::string error;
    ASSERT_TRUE(simline::PreparePrivateFolder(Folder(), &error)) << error;
    const std::string path = Folder() + "/sim-line.sock";
    const int stale = simline::ListenPrivate(path, &error);
    ASSERT_GE(stale, 0) << error;
    close(stale);  // the socket file stays, nobody serves it
    ASSERT_TRUE(StartServer());

    error = StartError(path);
    EXPECT_NE(error.find("another Vocerra already serves"), std::string::npos) << error;
    callclient::LineClient client;
    EXPECT_TRUE(client.Connect(path, &error)) << "the first server still serves: " << error;

    const std::string plain = Folder() + "/plain";
    testsupport::WriteFileBytes(plain, "data");
    error = StartError(plain);
    EXPECT_NE(error.find("is not a socket"), std::string::npos) << error;
    EXPECT_EQ(testsupport::ReadFileBytes(plain), "data");
    error = StartError(Folder() + "/" + std::string(120, 'x'));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST_F(RemoteSocket, ProcessWideServerStartsOnceAndAgainAfterItsStop) {
    std::string error;
    ASSERT_TRUE(simline::StartRemoteLineServer(Service(), &error)) << error;
    EXPECT_FALSE(simline::StartRemoteLineServer(Service(), &error));
    EXPECT_EQ(error, "the simulated line is already being served");
    simline::StopRemoteLineServer();
    simline::StopRemoteLineServer();
    callclient::LineClient gone;
    EXPECT_FALSE(gone.Connect(simline::RemoteSocketPath(), &error));
    EXPECT_NE(error.find("no Vocerra is running"), std::string::npos) << error;
    ASSERT_TRUE(simline::StartRemoteLineServer(Service(), &error)) << error;
    callclient::LineClient client;
    EXPECT_TRUE(client.Connect(simline::RemoteSocketPath(), &error)) << error;
}

TEST_F(RemoteSocket, ConnectionsBeyondTheLimitAreTurnedAway) {
    ASSERT_TRUE(StartServer());
    std::vector<std::unique_ptr<callclient::LineClient>> clients;
    std::string error;
    for (int i = 0; i < 8; i++) {
        clients.push_back(std::make_unique<callclient::LineClient>());
        ASSERT_TRUE(clients.back()->Connect(m_server->SocketPath(), &error)) << i << error;
    }
    callclient::LineClient extra;
    EXPECT_FALSE(extra.Connect(m_server->SocketPath(), &error));
    EXPECT_NE(error.find("too many connections"), std::string::npos) << error;
    clients.pop_back();
    // A round trip on another connection lets the server see the closed one
    // before the next connection arrives.
    clients.front()->Request("HELLO");
    callclient::LineClient again;
    EXPECT_TRUE(again.Connect(m_server->SocketPath(), &error)) << error;
}

}  // namespace

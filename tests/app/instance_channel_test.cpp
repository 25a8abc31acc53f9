// A second start reaches the running copy over its socket, and only a
// proper request makes the running copy show its window.
#include <QApplication>
#include <QLocalSocket>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "app/frame/instance_channel.h"
#include "app/qt_test_app.h"
#include "support/temp_dir.h"

namespace {

class InstanceChannelTest : public ::testing::Test {
protected:
    void SetUp() override { chmod(m_dir.path().c_str(), 0700); }
    // Asks from another thread while this one runs the server's events.
    bool AskFromSecondCopy(int attempts = 10) {
        std::atomic<bool> done{false};
        bool shown = false;
        std::thread second([&] {
            shown = VM_AskRunningInstanceToShow(m_dir.path(), attempts);
            done = true;
        });
        while (!done) QApplication::processEvents(QEventLoop::AllEvents, 20);
        second.join();
        return shown;
    }
    QApplication& m_app = VM_TestQtApp();
    testsupport::TempDir m_dir;
    int m_shows = 0;
};

TEST_F(InstanceChannelTest, NobodyListeningIsNoSuccess) {
    testsupport::WriteFileBytes(VM_InstanceSocketPath(m_dir.path()), "");
    EXPECT_FALSE(AskFromSecondCopy(2));
}

TEST_F(InstanceChannelTest, APeerSayingSomethingElseShowsNothing) {
    VM_CInstanceServer server(m_dir.path(), [this] { ++m_shows; });
    std::atomic<bool> done{false};
    std::thread peer([&] {
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(VM_InstanceSocketPath(m_dir.path())));
        if (socket.waitForConnected(2000)) {
            socket.write("raise everything\n");
            socket.waitForBytesWritten(2000);
            socket.waitForDisconnected(2000);
        }
        done = true;
    });
    while (!done) QApplication::processEvents(QEventLoop::AllEvents, 20);
    peer.join();
    EXPECT_EQ(0, m_shows);
}

TEST_F(InstanceChannelTest, ASecondStartShowsTheRunningWindowEvenOverAStaleSocket) {
    // A copy that crashed left its socket behind.
    testsupport::WriteFileBytes(VM_InstanceSocketPath(m_dir.path()), "");
    VM_CInstanceServer server(m_dir.path(), [this] { ++m_shows; });
    ASSERT_TRUE(server.VM_IsListening());
    EXPECT_TRUE(AskFromSecondCopy());
    EXPECT_EQ(1, m_shows);
    EXPECT_TRUE(AskFromSecondCopy());
    EXPECT_EQ(2, m_shows);
}

}  // namespace

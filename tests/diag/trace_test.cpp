#include "diag/trace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

// Turns the switches on for one test and restores them afterwards.
class TraceSwitches {
public:
    explicit TraceSwitches(int value)
        : m_saved{g_bTraceTapi, g_bTraceAudio, g_bTraceDetector, g_bTraceStateMachine} {
        g_bTraceTapi = g_bTraceAudio = g_bTraceDetector = g_bTraceStateMachine = value;
    }
    ~TraceSwitches() {
        g_bTraceTapi = m_saved[0];
        g_bTraceAudio = m_saved[1];
        g_bTraceDetector = m_saved[2];
        g_bTraceStateMachine = m_saved[3];
    }

private:
    int m_saved[4];
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

}  // namespace

TEST(TraceLog, SwitchesAreOffInTheDeliveredBuild) {
#ifndef VOCERRA_TRACE_ON
    EXPECT_EQ(g_bTraceTapi, 0);
    EXPECT_EQ(g_bTraceAudio, 0);
    EXPECT_EQ(g_bTraceDetector, 0);
    EXPECT_EQ(g_bTraceStateMachine, 0);
#endif
}

TEST(TraceLog, SwitchedOffTracePointCreatesNoFileAndFormatsNothing) {
    TempDir dir(true);
    TraceSwitches off(0);
    bool formatted = false;
    auto arg = [&] {
        formatted = true;
        return 1;
    };
    VM_TRACE(g_bTraceTapi, "x=%d", arg());
    EXPECT_FALSE(formatted);
    EXPECT_FALSE(FileExists(dir.file("dbg_err.txt")));
}

TEST(TraceLog, LineHasTwentyOneCharacterPrefixAndCrLf) {
    TempDir dir(true);
    VM_WriteTrace("hello world");
    VM_TraceF("value=0x%x name=%s", 0x2au, "line");
    auto lines = Lines(ReadFileBytes(dir.file("dbg_err.txt")));
    ASSERT_EQ(lines.size(), 2u);
    std::regex prefix(R"(^\d\d/\d\d \d\d:\d\d:\d\d\.\d\d\d - )");
    for (const auto& line : lines) EXPECT_TRUE(std::regex_search(line, prefix)) << line;
    EXPECT_EQ(lines[0].substr(21), "hello world");
    EXPECT_EQ(lines[1].substr(21), "value=0x2a name=line");
}

TEST(TraceLog, LinesAreAppendedAndADeletedFileIsCreatedAgain) {
    TempDir dir(true);
    VM_WriteTrace("one");
    VM_WriteTrace("two");
    EXPECT_EQ(Lines(ReadFileBytes(dir.file("dbg_err.txt"))).size(), 2u);
    ASSERT_EQ(unlink(dir.file("dbg_err.txt").c_str()), 0);
    VM_WriteTrace("three");
    auto lines = Lines(ReadFileBytes(dir.file("dbg_err.txt")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(21), "three");
}

// Someone else's link named "dbg_err.txt" in the current directory must not
// lead the log into another file.
TEST(TraceLog, ALinkNamedLikeTheLogIsNotFollowed) {
    TempDir dir(true);
    const std::string victim = dir.file("victim.txt");
    testsupport::WriteFileBytes(victim, "keep");
    ASSERT_EQ(symlink(victim.c_str(), dir.file("dbg_err.txt").c_str()), 0);
    VM_WriteTrace("through the link");
    EXPECT_EQ(ReadFileBytes(victim), "keep");
    std::remove(dir.file("dbg_err.txt").c_str());
    const mode_t old = umask(0);
    VM_WriteTrace("a private line");
    umask(old);
    struct stat st;
    ASSERT_EQ(stat(dir.file("dbg_err.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TraceLog, LongMessageIsCutToFitTheLine) {
    TempDir dir(true);
    std::string longText(5000, 'a');
    longText[kTraceMaxMessage - 1] = 'z';
    VM_WriteTrace(longText.c_str());
    std::string text = ReadFileBytes(dir.file("dbg_err.txt"));
    EXPECT_EQ(text.size(), static_cast<size_t>(kTraceLineSize));
    auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 21u + kTraceMaxMessage);
    EXPECT_EQ(lines[0].back(), 'z');
}

TEST(TraceLog, FormatTextFromOutsideIsNeverInterpreted) {
    TempDir dir(true);
    VM_TraceF("name=%s", "%s%n%x");
    auto lines = Lines(ReadFileBytes(dir.file("dbg_err.txt")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(21), "name=%s%n%x");
}

TEST(TraceLog, UnwritableDirectoryDropsTheLineQuietly) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    if (geteuid() == 0) {
        // root writes past missing permission bits: use a folder that is gone.
        char gone[] = "/tmp/vocerra-gone-XXXXXX";
        ASSERT_NE(mkdtemp(gone), nullptr);
        ASSERT_EQ(chdir(gone), 0);
        ASSERT_EQ(rmdir(gone), 0);
        VM_WriteTrace("dropped");
        EXPECT_FALSE(FileExists(std::string(gone) + "/dbg_err.txt"));
    } else {
        TempDir dir(true);
        ASSERT_EQ(chmod(dir.path().c_str(), 0500), 0);
        VM_WriteTrace("dropped");
        EXPECT_FALSE(FileExists(dir.file("dbg_err.txt")));
    }
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_FALSE(FileExists(std::string(saved) + "/dbg_err.txt"));
}

TEST(TraceLogConcurrency, LinesFromManyThreadsNeverInterleave) {
    TempDir dir(true);
    constexpr int kThreads = 4, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) VM_TraceF("thread %d line %04d %s", t, i, std::string(300, 'a' + t).c_str());
        });
    for (auto& th : threads) th.join();
    auto lines = Lines(ReadFileBytes(dir.file("dbg_err.txt")));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + 21, "thread %d line %d", &t, &i), 2) << line;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(i, next[t]++) << "lines of one thread out of order";
        EXPECT_EQ(line.substr(line.size() - 300), std::string(300, 'a' + t));
    }
}

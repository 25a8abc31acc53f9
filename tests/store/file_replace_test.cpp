#include "store/file_replace.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "config_test_support.h"
#include "support/temp_dir.h"

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

// Writes the first half of what it is given, then either fails or, standing
// in for a crash, ends the process on the spot.
class HalfWriter : public VM_IFileWriter {
public:
    explicit HalfWriter(bool crash) : m_crash(crash) {}
    bool VM_Write(int fd, const void* data, std::size_t size) override {
        if (::write(fd, data, size / 2) < 0) return false;
        if (m_crash) _exit(0);
        return false;
    }

private:
    bool m_crash;
};

const std::string kOld = "old contents that must survive";
const std::string kNew = "new contents, somewhat longer than the old ones were";

}  // namespace

TEST(FileReplace, ReplacesTheWholeFileWithTheGivenMode) {
    TempDir dir;
    std::string path = dir.file("f.Cfg");
    testsupport::WriteFileBytes(path, kOld);
    mode_t previous = umask(0);
    bool ok = VM_ReplaceFile(path.c_str(), kNew.data(), kNew.size(), 0600);
    umask(previous);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ReadFileBytes(path), kNew);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(cfgtest::FilesIn(dir.path()), 1u);
}

TEST(FileReplace, WriterFailingMidwayLeavesTheOldFileAndNoLeftovers) {
    TempDir dir;
    std::string path = dir.file("f.Cfg");
    testsupport::WriteFileBytes(path, kOld);
    HalfWriter failing(false);
    EXPECT_FALSE(VM_ReplaceFile(path.c_str(), kNew.data(), kNew.size(), 0600, &failing));
    EXPECT_EQ(ReadFileBytes(path), kOld);
    EXPECT_EQ(cfgtest::FilesIn(dir.path()), 1u);
}

TEST(FileReplace, CrashMidwayLeavesTheOldFileWhole) {
    TempDir dir;
    std::string path = dir.file("f.Cfg");
    testsupport::WriteFileBytes(path, kOld);
    pid_t pid = fork();
    if (pid == 0) {
        HalfWriter crashing(true);
        VM_ReplaceFile(path.c_str(), kNew.data(), kNew.size(), 0600, &crashing);
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the writer did not run";
    EXPECT_EQ(ReadFileBytes(path), kOld);
}

TEST(FileReplace, MissingFolderFailsWithoutCreatingAnything) {
    TempDir dir;
    std::string path = dir.file("none/f.Cfg");
    EXPECT_FALSE(VM_ReplaceFile(path.c_str(), kNew.data(), kNew.size(), 0600));
    EXPECT_FALSE(testsupport::FileExists(dir.file("none")));
}

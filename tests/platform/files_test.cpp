#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <string>

#include "platform/win32/file_replace.h"
#include "platform/win32/win32.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

TEST(Files, TempFileNamesAreCreatedAndUnique) {
    TempDir dir;
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        char name[MAX_PATH];
        UINT n = GetTempFileNameA(dir.path().c_str(), "Grtxyz", 0, name);
        ASSERT_NE(n, 0u);
        std::string s(name);
        EXPECT_EQ(s.rfind(dir.path() + "/Grt", 0), 0u) << s;
        EXPECT_EQ(s.substr(s.size() - 4), ".TMP");
        EXPECT_TRUE(FileExists(s));
        names.insert(s);
    }
    EXPECT_EQ(names.size(), 20u);
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(dir.path().c_str(), "Qv", 0x1A2B, name), 0x1A2Bu);
    EXPECT_EQ(std::string(name), dir.path() + "/Qv1A2B.TMP");
    EXPECT_FALSE(FileExists(name)) << "a given number only forms the name";
    EXPECT_EQ(GetTempFileNameA((dir.path() + "/missing").c_str(), "Qv", 0, name), 0u);
}

TEST(Files, CopyMoveDeleteKeepContentsAndReportErrors) {
    TempDir dir;
    std::string a = dir.file("a.wav"), b = dir.file("b.wav"), c = dir.file("c.wav");
    WriteFileBytes(a, std::string("RIFF\0\x01\x02", 7));
    ASSERT_TRUE(CopyFileA(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(ReadFileBytes(b), ReadFileBytes(a));
    EXPECT_FALSE(CopyFileA(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    WriteFileBytes(c, "other");
    ASSERT_TRUE(CopyFileA(c.c_str(), b.c_str(), FALSE));
    EXPECT_EQ(ReadFileBytes(b), "other");
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), 0));
    ASSERT_TRUE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ(ReadFileBytes(b).size(), 7u);
    ASSERT_TRUE(DeleteFileA(b.c_str()));
    EXPECT_FALSE(DeleteFileA(b.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(CopyFileA(b.c_str(), a.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A new recording stored over an address-book entry's greeting on a full
// disk: the old greeting must survive the failed copy.
TEST(Files, FailedCopyOverAFileKeepsItAndCopyOntoItselfKeepsIt) {
    TempDir dir;
    const std::string greeting = dir.file("Grt0001.Wav"), recording = dir.file("new.wav");
    WriteFileBytes(greeting, std::string(500, 'g'));
    WriteFileBytes(recording, std::string(4000, 'r'));
    {
        storetest::FileSizeLimit full(1000);
        EXPECT_FALSE(CopyFileA(recording.c_str(), greeting.c_str(), FALSE));
    }
    EXPECT_EQ(ReadFileBytes(greeting), std::string(500, 'g'));
    EXPECT_EQ(testsupport::FilesIn(dir.path()), 2u) << "the partial copy was left behind";

    ASSERT_TRUE(CopyFileA(greeting.c_str(), greeting.c_str(), FALSE));
    EXPECT_EQ(ReadFileBytes(greeting), std::string(500, 'g'));
    const std::string other = dir.file("other/../Grt0001.Wav");
    ASSERT_TRUE(CreateDirectoryA(dir.file("other").c_str(), nullptr));
    EXPECT_FALSE(CopyFileA(greeting.c_str(), other.c_str(), TRUE));
    EXPECT_EQ(ReadFileBytes(greeting), std::string(500, 'g'));
}

namespace {

// Writes half of what it is given, then fails as a full disk does.
class HalfWriter : public platform::FileWriter {
public:
    bool Write(int fd, const void* data, std::size_t size) override {
        (void)!::write(fd, data, size / 2);
        errno = ENOSPC;
        return false;
    }
};

}  // namespace

TEST(Files, ReplacingAFileIsAllOrNothing) {
    TempDir dir;
    const std::string path = dir.file("Vocerra.reg");
    ASSERT_TRUE(platform::ReplaceFileContents(path.c_str(), "first", 5, 0600));
    HalfWriter half;
    EXPECT_FALSE(platform::ReplaceFileContents(path.c_str(), "second version", 14, 0600, &half));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(ReadFileBytes(path), "first");
    EXPECT_EQ(testsupport::FilesIn(dir.path()), 1u) << "the temporary file was left behind";
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string temp = dir.file("Qv12.TMP");
    WriteFileBytes(temp, "converted");
    ASSERT_TRUE(platform::CommitReplacement(temp.c_str(), path.c_str()));
    EXPECT_EQ(ReadFileBytes(path), "converted");
    WriteFileBytes(temp, "late");
    EXPECT_FALSE(platform::CommitReplacement(temp.c_str(), path.c_str(), true));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadFileBytes(path), "converted");
}

TEST(Files, DirectoriesAndAttributes) {
    TempDir dir;
    std::string sub = dir.file("Voice");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA(dir.file("x/y").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(GetFileAttributesA(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    WriteFileBytes(dir.file("f"), "x");
    DWORD attributes = GetFileAttributesA(dir.file("f").c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(dir.file("none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileA(sub.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
}

TEST(Files, FindFirstFileMatchesPatternsAndExactNames) {
    TempDir dir;
    for (const char* name : {"Msg0000.Wav", "Msg0001.Wav", "QvLV0001.Cfg", "Noext"})
        WriteFileBytes(dir.file(name), "12345");
    WIN32_FIND_DATAA data;
    std::set<std::string> found;
    HANDLE h = FindFirstFileA(dir.file("Msg*.wav").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do found.insert(data.cFileName);
    while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    EXPECT_EQ(found, (std::set<std::string>{"Msg0000.Wav", "Msg0001.Wav"}));

    h = FindFirstFileA(dir.file("QvLV0001.Cfg").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "QvLV0001.Cfg");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_FALSE(FindNextFileA(h, &data));
    FindClose(h);

    int all = 0;
    h = FindFirstFileA(dir.file("*.*").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++all;
    while (FindNextFileA(h, &data));
    FindClose(h);
    EXPECT_EQ(all, 4) << "*.* must also match names without a dot";

    EXPECT_EQ(FindFirstFileA(dir.file("Msg0002.Wav").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Files, ModuleFileNameNamesTheRunningProgram) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    std::string s(path, n);
    EXPECT_NE(s.find("test_platform"), std::string::npos) << s;
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 5u);
    EXPECT_EQ(small[4], '\0');
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/wave_file_names.h"
#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// Takes a new[]-allocated result; empty for null.
std::string Take(char* text) {
    std::unique_ptr<char[]> owned(text);
    return owned ? std::string(owned.get()) : std::string();
}

}  // namespace

TEST(WaveFileNames, FolderOfPathIsEverythingBeforeTheLastSlash) {
    EXPECT_EQ(Take(VM_GetFolderOfPath("/home/u/Voice/Msg0000.Wav")), "/home/u/Voice");
    EXPECT_EQ(Take(VM_GetFolderOfPath("Voice/a/b")), "Voice/a");
    EXPECT_EQ(VM_GetFolderOfPath("Msg0000.Wav"), nullptr);
    // A slash only at the first character does not count.
    EXPECT_EQ(VM_GetFolderOfPath("/Msg0000.Wav"), nullptr);
    EXPECT_EQ(VM_GetFolderOfPath(""), nullptr);
    EXPECT_EQ(VM_GetFolderOfPath(nullptr), nullptr);
}

TEST(WaveFileNames, UniqueNamesCountInLowerCaseHex) {
    TempDir dir;
    EXPECT_EQ(Take(VM_MakeUniqueWaveName(dir.path().c_str(), "Msg")), dir.file("Msg0000.Wav"));
    for (int i = 0; i < 10; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Msg%04x.Wav", i);
        WriteFileBytes(dir.file(name), "x");
    }
    EXPECT_EQ(Take(VM_MakeUniqueWaveName(dir.path().c_str(), "Msg")), dir.file("Msg000a.Wav"));
    EXPECT_EQ(Take(VM_MakeUniqueWaveName(dir.path().c_str(), "Grt")), dir.file("Grt0000.Wav"));
}

// The worker names a new message while the main thread clones one: a name
// once given is taken, so the second file can never truncate the first.
TEST(WaveFileNamesConcurrency, NamesGivenToTwoThreadsAreNeverTheSame) {
    TempDir dir;
    std::vector<std::string> first, second;
    auto take = [&](std::vector<std::string>* names) {
        for (int i = 0; i < 40; ++i) names->push_back(Take(VM_MakeUniqueWaveName(dir.path().c_str(), "Msg")));
    };
    std::thread worker(take, &first);
    take(&second);
    worker.join();
    std::set<std::string> all(first.begin(), first.end());
    all.insert(second.begin(), second.end());
    EXPECT_EQ(all.size(), 80u);
    EXPECT_EQ(all.count(""), 0u);
    struct stat st;
    ASSERT_EQ(stat(first.front().c_str(), &st), 0) << "the name was not reserved";
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(WaveFileNames, TempNamesAreCreatedBesideTheFile) {
    TempDir dir;
    const std::string name = Take(VM_MakeTempFileName(dir.file("Msg0000.Wav").c_str()));
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.rfind(dir.path() + "/Qv", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    EXPECT_TRUE(FileExists(name));
    const std::string second = Take(VM_MakeTempFileName(dir.path().c_str(), "Grt"));
    EXPECT_EQ(second.rfind(dir.path() + "/Grt", 0), 0u);
    EXPECT_NE(second, name);
    EXPECT_EQ(VM_MakeTempFileName("NoFolder.Wav"), nullptr);
    EXPECT_EQ(VM_MakeTempFileName(dir.file("missing/x.Wav").c_str()), nullptr);
}

TEST(WaveFileNames, CopyToUniqueNameCopiesTheContents) {
    TempDir dir;
    WriteFileBytes(dir.file("Msg0000.Wav"), "RIFF-contents");
    const std::string copy = Take(VM_CopyToUniqueWaveName(dir.file("Msg0000.Wav").c_str(), "Msg"));
    EXPECT_EQ(copy, dir.file("Msg0001.Wav"));
    EXPECT_EQ(ReadFileBytes(copy), "RIFF-contents");
    EXPECT_EQ(VM_CopyToUniqueWaveName(dir.file("absent.Wav").c_str(), "Msg"), nullptr);
    EXPECT_FALSE(FileExists(dir.file("Msg0002.Wav")));
}

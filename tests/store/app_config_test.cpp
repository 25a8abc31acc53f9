#include "store/app_config.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "config_test_support.h"
#include "store/config_file_format.h"
#include "support/temp_dir.h"
#include "support/user_notices.h"

using cfgtest::CfgPath;
using cfgtest::PlaceConfigFile;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

// The first-run file, field by field in the stored order.
std::string ExpectedFirstRunFile() {
    std::string b;
    b += Bytes({0x08, 0, 0, 0});                        // version 8
    b += Bytes({0x0B, 0, 0, 0}) + "Vocerra 3.5";         // title
    b += Bytes({0xFF, 0xD7, 0xFF, 0xFF});               // flags 0xFFFFD7FF
    b += Bytes({0, 1, 0, 1, 0, 1, 0});                  // sort columns/orders, tip, alert, notify
    b += Bytes({0, 0, 0, 0});                           // SMTP server absent
    b += Bytes({0, 0, 0, 0});                           // sender absent
    b += Bytes({0x19, 0, 0, 0});                        // port 25
    b += Bytes({1, 0});                                 // reserved byte, security
    b += Bytes({0, 0, 0, 0});                           // user absent
    b += Bytes({0, 0, 0, 0});                           // password absent
    for (int i = 0; i < 5; ++i) b += Bytes({0, 0, 0, 0, 0});  // address absent, attach 0
    b += Bytes({1, 2, 3, 1});                           // inbox, deleted, bulk, reserved
    for (int i = 0; i < 4; ++i) b += Bytes({0xFF, 0xFF, 0xFF, 0xFF});  // devices -1
    b += Bytes({3});                                    // rings
    b += Bytes({0, 0, 0, 0});                           // no call limit
    b += Bytes({0x0A, 0, 0x08, 0});                     // silence 10 s, level 8
    b += Bytes({0, 0, 0, 0, 0, 0, 0x59, 0x40});         // 100.0
    b += Bytes({0, 0, 0, 0, 0, 0, 0x59, 0x40});         // 100.0
    b += Bytes({6, 0, 0, 0}) + "908172";                // default password
    b += Bytes({6, 0, 0, 0}) + "908172";                // current password
    return b;
}

std::string EncodedNonDefaults() {
    TempDir dir;
    VM_CAppCfg source(dir.path().c_str());
    cfgtest::SetNonDefaults(source);
    return VM_EncodeConfig(source);
}

// Offset just past the rings byte of a file holding only short strings.
size_t OffsetAfterRings(const std::string& file) {
    // Everything after the rings byte is fixed-size until the passwords:
    // minutes 4, silence 2 + 2, two doubles 16, then two counted strings.
    size_t tail = 4 + 2 + 2 + 16 + (4 + 4) + (4 + 2);  // "1234" and "55"
    return file.size() - tail;
}

}  // namespace

TEST(AppConfig, FirstRunWritesTheExactLayoutIntoANewConfigFolder) {
    TempDir dir;
    ASSERT_FALSE(testsupport::FileExists(dir.file("Config")));
    {
        VM_CAppCfg cfg(dir.path().c_str());
        EXPECT_STREQ(cfg.m_szHome, dir.path().c_str());
        EXPECT_EQ(std::string(cfg.m_szFile), CfgPath(dir.path()));
        EXPECT_EQ(ReadFileBytes(CfgPath(dir.path())), ExpectedFirstRunFile());
        EXPECT_EQ(cfg.m_szPassword.VM_String(), "908172");
    }
    struct stat info {};
    ASSERT_EQ(stat(CfgPath(dir.path()).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the file holds the mail password";
    // Saved again at destruction, unchanged.
    EXPECT_EQ(ReadFileBytes(CfgPath(dir.path())), ExpectedFirstRunFile());
}

TEST(AppConfig, EveryFieldSurvivesASaveAndALoad) {
    TempDir dir;
    std::string saved;
    {
        VM_CAppCfg cfg(dir.path().c_str());
        cfgtest::SetNonDefaults(cfg);
        ASSERT_TRUE(cfg.VM_Save());
        saved = ReadFileBytes(CfgPath(dir.path()));
    }
    VM_CAppCfg again(dir.path().c_str());
    EXPECT_EQ(VM_EncodeConfig(again), saved);
    EXPECT_STREQ(again.m_szEmail[4], "to4@example.org");
    EXPECT_EQ(again.m_bAttach[3], 1);
    EXPECT_EQ(again.m_dReserved2, -2.25);
    EXPECT_EQ(again.m_szDefaultPassword.VM_String(), "1234");
    EXPECT_EQ(again.m_szPassword.VM_String(), "55");
    EXPECT_EQ(again.m_dwFlags, 0x00012345u) << "a loaded file keeps its flags";
}

TEST(AppConfig, ShortFileKeepsNumbersAfterItsEndAndLeavesStringsAbsent) {
    std::string full = EncodedNonDefaults();
    TempDir dir;
    // Cut in the middle of the call-minutes field.
    PlaceConfigFile(dir.path(), full.substr(0, OffsetAfterRings(full) + 2));
    VM_CAppCfg cfg(dir.path().c_str());
    EXPECT_EQ(cfg.m_nRings, 6) << "fields before the end are read";
    EXPECT_EQ(cfg.m_idLine, 2);
    EXPECT_EQ(cfg.m_nMaxCallMinutes, 0);
    EXPECT_EQ(cfg.m_nSilenceSeconds, 10);
    EXPECT_EQ(cfg.m_nSilenceLevel, 8);
    EXPECT_EQ(cfg.m_dReserved1, 100.0);
    EXPECT_FALSE(cfg.m_szDefaultPassword.VM_IsPresent());
    EXPECT_FALSE(cfg.m_szPassword.VM_IsPresent());
    EXPECT_STREQ(cfg.m_szTitle, "Other title");
}

TEST(AppConfig, VersionOnlyFileLoadsWithEveryStringAbsent) {
    TempDir dir;
    PlaceConfigFile(dir.path(), Bytes({8, 0, 0, 0}));
    VM_CAppCfg cfg(dir.path().c_str());
    EXPECT_EQ(cfg.m_szTitle, nullptr);
    EXPECT_EQ(cfg.m_dwFlags, VM_FLAGS_FIRST_RUN);
    EXPECT_EQ(cfg.m_nSmtpPort, 25);
    EXPECT_FALSE(cfg.m_szPassword.VM_IsPresent());
}

TEST(AppConfig, EmptyStringsReadBackAbsent) {
    TempDir dir;
    {
        VM_CAppCfg cfg(dir.path().c_str());
        VM_CAppCfg::VM_SetText(cfg.m_szSmtpServer, "");
        cfg.m_szPassword.VM_Set("");
        EXPECT_EQ(cfg.m_szSmtpServer, nullptr);
    }
    std::string file = ReadFileBytes(CfgPath(dir.path()));
    EXPECT_EQ(file.substr(file.size() - 4), Bytes({0, 0, 0, 0})) << "written as length 0";
    {
        VM_CAppCfg cfg(dir.path().c_str());
        EXPECT_EQ(cfg.m_szSmtpServer, nullptr);
        EXPECT_FALSE(cfg.m_szPassword.VM_IsPresent());
        EXPECT_TRUE(cfg.m_szDefaultPassword.VM_IsPresent());
    }
    // A zero-length title written by another writer reads back absent too.
    file = ExpectedFirstRunFile();
    file.replace(4, 4 + 11, Bytes({0, 0, 0, 0}));
    PlaceConfigFile(dir.path(), file);
    VM_CAppCfg cfg(dir.path().c_str());
    EXPECT_EQ(cfg.m_szTitle, nullptr);
    EXPECT_EQ(cfg.m_nRings, 3);
}

TEST(AppConfig, ForeignVersionIsReplacedByTheFirstRunSettings) {
    for (const std::string& foreign :
         {std::string(Bytes({7, 0, 0, 0})) + EncodedNonDefaults().substr(4),
          std::string(Bytes({0, 0, 0, 8})) + EncodedNonDefaults().substr(4)}) {
        TempDir dir;
        PlaceConfigFile(dir.path(), foreign);
        testsupport::UserNotices notices;
        VM_CAppCfg cfg(dir.path().c_str());
        EXPECT_EQ(cfg.m_nRings, 3);
        EXPECT_STREQ(cfg.m_szTitle, "Vocerra 3.5");
        EXPECT_EQ(ReadFileBytes(CfgPath(dir.path())), ExpectedFirstRunFile());
        EXPECT_TRUE(notices.texts().empty());
    }
}

// A file that cannot be read whole: over the loader's limit (sparse, so no
// disk is used; root reads anything, so permissions cannot stand for it), or
// cut short before its version. Set aside, never saved over, the user told
// once; a second one gets a number.
TEST(AppConfigDamage, UnreadableFileIsSetAsideAndTheSettingsGoOn) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/Config");
    const std::string path = CfgPath(dir.path());
    testsupport::WriteFileBytes(path, "");
    ASSERT_EQ(truncate(path.c_str(), off_t{300} * 1024 * 1024), 0);
    {
        testsupport::UserNotices notices;
        VM_CAppCfg cfg(dir.path().c_str());
        EXPECT_EQ(cfg.m_nRings, 3);
        ASSERT_EQ(notices.texts().size(), 1u);
        EXPECT_NE(notices.texts()[0].find(path + ".damaged"), std::string::npos);
    }
    EXPECT_EQ(std::filesystem::file_size(path + ".damaged"), 300u * 1024 * 1024) << "the unreadable file was lost";
    EXPECT_EQ(ReadFileBytes(path), ExpectedFirstRunFile());

    PlaceConfigFile(dir.path(), Bytes({8, 0, 0}));
    {
        testsupport::UserNotices notices;
        VM_CAppCfg cfg(dir.path().c_str());
        EXPECT_EQ(notices.texts().size(), 1u);
    }
    EXPECT_EQ(ReadFileBytes(path + ".2.damaged"), Bytes({8, 0, 0}));
    EXPECT_EQ(ReadFileBytes(path), ExpectedFirstRunFile());
}

TEST(AppConfig, DamagedLengthsStopTheReadWithoutCrashing) {
    std::string full = EncodedNonDefaults();
    struct Case {
        const char* what;
        std::string lengthBytes;
    };
    for (const Case& c : {Case{"negative", Bytes({0xFE, 0xFF, 0xFF, 0xFF})},
                          Case{"past the end", Bytes({0x00, 0x00, 0x00, 0x7F})}}) {
        TempDir dir;
        std::string file = full;
        size_t serverLength = 4 + 4 + 11 + 4 + 7;  // after version, title, flags, bytes
        file.replace(serverLength, 4, c.lengthBytes);
        PlaceConfigFile(dir.path(), file);
        testsupport::UserNotices notices;
        {
            VM_CAppCfg cfg(dir.path().c_str());
            EXPECT_STREQ(cfg.m_szTitle, "Other title") << c.what;
            EXPECT_EQ(cfg.m_nNotifyMode, 1) << c.what;
            EXPECT_EQ(cfg.m_szSmtpServer, nullptr) << c.what;
            EXPECT_EQ(cfg.m_nSmtpPort, 25) << c.what << ": nothing after the damage is read";
            EXPECT_EQ(cfg.m_nRings, 3) << c.what;
        }
        EXPECT_EQ(ReadFileBytes(CfgPath(dir.path()) + ".damaged"), file) << c.what << ": set aside whole";
        EXPECT_EQ(notices.texts().size(), 1u) << c.what;
        VM_CAppCfg again(dir.path().c_str());
        EXPECT_STREQ(again.m_szTitle, "Other title") << c.what << ": what was read is saved anew";
    }
}

TEST(AppConfig, SetFlagChangesOnlyTheMaskedBits) {
    TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    cfg.VM_SetFlag(true, VM_FLAG_TOLL_SAVER | VM_FLAG_REMOTE_RETRIEVAL);
    EXPECT_EQ(cfg.m_dwFlags, 0xFFFFFFFFu);
    cfg.VM_SetFlag(false, VM_FLAG_ANSWERING);
    EXPECT_EQ(cfg.m_dwFlags, 0xFFFFFEFFu);
    EXPECT_FALSE(cfg.VM_IsFlag(VM_FLAG_ANSWERING));
    EXPECT_TRUE(cfg.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX));
}

namespace {

// Runs body in a child process and returns its exit status (-1 on a signal).
template <class Body>
int InChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(AppConfig, SaveThatRunsOutOfSpaceMidwayKeepsTheOldFile) {
    TempDir dir;
    { VM_CAppCfg cfg(dir.path().c_str()); }
    std::string before = ReadFileBytes(CfgPath(dir.path()));
    int saved = InChild([&] {
        VM_CAppCfg cfg(dir.path().c_str());
        cfgtest::SetNonDefaults(cfg);
        // Any write past 40 bytes now fails as on a full disk.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{40, 40};
        setrlimit(RLIMIT_FSIZE, &limit);
        bool ok = cfg.VM_Save();
        _exit(ok ? 1 : 0);  // leave without the destructor's save
        return 2;
    });
    EXPECT_EQ(saved, 0) << "the save must report the failure";
    EXPECT_EQ(ReadFileBytes(CfgPath(dir.path())), before);
    EXPECT_EQ(cfgtest::FilesIn(dir.file("Config")), 1u) << "no temporary file is left behind";
}

// Remote retrieval resets the password on the call's worker thread while the
// main thread saves; only the main thread writes the file.
TEST(AppConfigConcurrency, PasswordResetOnAWorkerAndSavesOnTheMainThreadDoNotMeet) {
    TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    cfg.m_szDefaultPassword.VM_Set("1234");
    cfg.m_szPassword.VM_Set("55");
    ASSERT_TRUE(cfg.VM_Save());
    bool workerSaved = true;
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            EXPECT_TRUE(cfg.VM_ResetPassword());
            cfg.m_szPassword.VM_Set("55");
        }
        EXPECT_TRUE(cfg.VM_ResetPassword());
        workerSaved = cfg.VM_Save();
    });
    for (int i = 0; i < 50; ++i) cfg.VM_Save();
    worker.join();
    EXPECT_FALSE(workerSaved) << "the worker thread wrote the configuration";
    EXPECT_EQ(cfg.m_szPassword.VM_String(), "1234");
    ASSERT_TRUE(cfg.VM_Save());
    VM_CAppCfg again(dir.path().c_str());
    EXPECT_EQ(again.m_szPassword.VM_String(), "1234");
    cfg.m_szDefaultPassword.VM_Clear();
    EXPECT_FALSE(cfg.VM_ResetPassword());
    EXPECT_EQ(cfg.m_szPassword.VM_String(), "1234") << "a missing default left the password as it was";
}

#include "platform/win32/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/errors.h"
#include "platform/win32/registry_text.h"
#include "support/registry_file.h"
#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void UseFile(const std::string& path) {
        m_registry.Use(path);
        m_file = path;
    }

    static LONG SetText(HKEY key, const char* name, const std::string& text) {
        return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }
    // The stored text, or "<error N>".
    static std::string GetText(HKEY key, const char* name) {
        char buffer[512] = {};
        DWORD size = sizeof buffer;
        DWORD type = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        if (rc != static_cast<LONG>(ERROR_SUCCESS)) return "<error " + std::to_string(rc) + ">";
        return std::string(buffer, strnlen(buffer, size));
    }
    HKEY Create(const char* path) {
        HKEY key = nullptr;
        EXPECT_EQ(static_cast<LONG>(ERROR_SUCCESS),
                  RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr));
        return key;
    }

    testsupport::ScopedRegistryFile m_registry;
    const TempDir& m_dir = m_registry.dir();
    std::string m_file = m_registry.path();
};

constexpr LONG kOk = static_cast<LONG>(ERROR_SUCCESS);

TEST_F(RegistryTest, FileHoldsValuesInTheReadableLayoutWithEscapes) {
    HKEY key = Create("Software\\Test");
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(kOk, SetText(key, "Path", "C:\\Dir \"x\""));
    DWORD count = 42;
    EXPECT_EQ(kOk, RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), 4));
    const BYTE blob[] = {0x00, 0xFF, 0x10};
    EXPECT_EQ(kOk, RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, 3));
    EXPECT_EQ(kOk, SetText(key, nullptr, "default"));
    EXPECT_EQ(kOk, RegCloseKey(key));

    EXPECT_EQ(
        "REGEDIT4\n\n"
        "[HKEY_CURRENT_USER\\Software]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\n"
        "\"Path\"=\"C:\\\\Dir \\\"x\\\"\"\n"
        "\"Count\"=dword:0000002a\n"
        "\"Blob\"=hex:00,ff,10\n"
        "@=\"default\"\n\n",
        ReadFileBytes(m_file));
}

TEST_F(RegistryTest, HandWrittenFileIsRead) {
    WriteFileBytes(m_file,
                   "REGEDIT4\r\n\r\n"
                   "; a comment\r\n"
                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\Modem\\0000]\r\n"
                   "\"FriendlyName\"=\"Say \\\"hi\\\" C:\\\\x\"\r\n"
                   "\"Plain\"=\"C:\\Program Files\"\r\n"
                   "\"Level\"=DWORD:0000FFFF\r\n"
                   "\"Long\"=hex:01,02,\\\r\n"
                   "  03,04\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(kOk, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "system\\MODEM\\0000", 0, KEY_READ, &key));
    EXPECT_EQ("Say \"hi\" C:\\x", GetText(key, "friendlyname"));
    EXPECT_EQ("C:\\Program Files", GetText(key, "Plain"));
    DWORD level = 0;
    DWORD size = sizeof level;
    DWORD type = 0;
    EXPECT_EQ(kOk, RegQueryValueExA(key, "Level", nullptr, &type, reinterpret_cast<BYTE*>(&level), &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(0xFFFFu, level);
    BYTE bytes[8] = {};
    size = sizeof bytes;
    EXPECT_EQ(kOk, RegQueryValueExA(key, "Long", nullptr, &type, bytes, &size));
    EXPECT_EQ(REG_BINARY, type);
    ASSERT_EQ(4u, size);
    EXPECT_EQ(0, std::memcmp(bytes, "\x01\x02\x03\x04", 4));
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryReportsMissingNamesAndShortBuffers) {
    HKEY key = nullptr;
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND),
              RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);

    key = Create("Software\\Test");
    EXPECT_EQ("<error 2>", GetText(key, "Missing"));
    ASSERT_EQ(kOk, SetText(key, "Name", "abcdef"));
    DWORD size = 0;
    DWORD type = 0;
    EXPECT_EQ(kOk, RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size));
    EXPECT_EQ(7u, size);  // the terminator is part of the stored text
    EXPECT_EQ(REG_SZ, type);
    char small[3] = {};
    size = sizeof small;
    EXPECT_EQ(static_cast<LONG>(ERROR_MORE_DATA),
              RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(7u, size);
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_PARAMETER),
              RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesIgnoreCaseButKeepTheirSpelling) {
    HKEY key = Create("Software\\MixedCase");
    DWORD disposition = 0;
    HKEY again = nullptr;
    ASSERT_EQ(kOk, RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase", 0, nullptr, 0, KEY_ALL_ACCESS,
                                   nullptr, &again, &disposition));
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    ASSERT_EQ(kOk, SetText(key, "Value", "one"));
    ASSERT_EQ(kOk, SetText(again, "VALUE", "two"));
    EXPECT_EQ("two", GetText(key, "value"));
    std::string file = ReadFileBytes(m_file);
    EXPECT_NE(std::string::npos, file.find("[HKEY_CURRENT_USER\\Software\\MixedCase]\n\"Value\"=\"two\"\n"));
    EXPECT_EQ(kOk, RegDeleteValueA(again, "vAlUe"));
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND), RegDeleteValueA(key, "Value"));
    RegCloseKey(key);
    RegCloseKey(again);
}

TEST_F(RegistryTest, CreateReportsNewKeysAndHandlesFollowAccessRights) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(kOk, RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                   &disposition));
    EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
    EXPECT_EQ(kOk, SetText(key, "x", "1"));
    EXPECT_EQ("<error 5>", GetText(key, "x"));  // KEY_WRITE does not allow reading
    RegCloseKey(key);

    HKEY reader = nullptr;
    ASSERT_EQ(kOk, RegOpenKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, KEY_READ, &reader));
    EXPECT_EQ("1", GetText(reader, "x"));
    EXPECT_EQ(static_cast<LONG>(ERROR_ACCESS_DENIED), SetText(reader, "x", "2"));
    EXPECT_EQ(static_cast<LONG>(ERROR_ACCESS_DENIED), RegDeleteValueA(reader, "x"));
    EXPECT_EQ(kOk, RegCloseKey(reader));
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_HANDLE), RegCloseKey(reader));
    EXPECT_EQ(kOk, RegCloseKey(HKEY_CURRENT_USER));
}

TEST_F(RegistryTest, TextsTheQuotedFormCannotCarryRoundTripAsHex) {
    HKEY key = Create("Software\\Odd");
    const std::string multiLine = "line one\r\nline two";
    ASSERT_EQ(kOk, SetText(key, "Lines", multiLine));
    // No terminator stored: must come back without one.
    ASSERT_EQ(kOk, RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("ab"), 2));
    RegCloseKey(key);
    std::string file = ReadFileBytes(m_file);
    EXPECT_NE(std::string::npos, file.find("\"Lines\"=hex(1):"));

    // Read by a fresh parse of the file, not from memory.
    regtext::Store store;
    ASSERT_TRUE(regtext::Parse(file, store));
    regtext::Key* odd = store.roots[regtext::kCurrentUser].FindSubkey("software")->FindSubkey("odd");
    ASSERT_NE(nullptr, odd);
    EXPECT_EQ(multiLine + std::string(1, '\0'), odd->FindValue("Lines")->data);
    EXPECT_EQ(REG_SZ, odd->FindValue("Lines")->type);
    EXPECT_EQ("ab", odd->FindValue("Bare")->data);
}

TEST_F(RegistryTest, LongBinaryValuesWrapAndReadBack) {
    HKEY key = Create("Software\\Big");
    std::vector<BYTE> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 7);
    ASSERT_EQ(kOk, RegSetValueExA(key, "Blob", 0, REG_BINARY, data.data(), 300));
    RegCloseKey(key);
    std::string file = ReadFileBytes(m_file);
    size_t longest = 0;
    for (size_t start = 0, end; start < file.size(); start = end + 1) {
        end = file.find('\n', start);
        if (end == std::string::npos) end = file.size();
        longest = std::max(longest, end - start);
    }
    EXPECT_LE(longest, 80u);
    regtext::Store store;
    ASSERT_TRUE(regtext::Parse(file, store));
    const regtext::Value* blob =
        store.roots[regtext::kCurrentUser].FindSubkey("Software")->FindSubkey("Big")->FindValue("Blob");
    ASSERT_NE(nullptr, blob);
    EXPECT_EQ(std::string(data.begin(), data.end()), blob->data);
}

TEST_F(RegistryTest, HandEditsAreSeenAtOnce) {
    HKEY key = Create("Software\\Live");
    ASSERT_EQ(kOk, SetText(key, "v", "old"));
    EXPECT_EQ("old", GetText(key, "v"));
    WriteFileBytes(m_file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Live]\n\"v\"=\"edited by hand\"\n");
    EXPECT_EQ("edited by hand", GetText(key, "v"));
    WriteFileBytes(m_file, "REGEDIT4\n");
    EXPECT_EQ("<error " + std::to_string(ERROR_KEY_DELETED) + ">", GetText(key, "v"));
    RegCloseKey(key);
}

TEST_F(RegistryTest, DamagedFileIsReadAsFarAsPossibleAndNeverWrittenOver) {
    const std::string damaged =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kept]\n\"Good\"=\"yes\"\n\"Broken\"=\"no closing quote\n";
    WriteFileBytes(m_file, damaged);
    HKEY key = nullptr;
    ASSERT_EQ(kOk, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ("yes", GetText(key, "Good"));
    EXPECT_EQ(static_cast<LONG>(ERROR_BADDB), SetText(key, "New", "value"));
    EXPECT_EQ(static_cast<LONG>(ERROR_BADDB), RegDeleteValueA(key, "Good"));
    HKEY sub = nullptr;
    EXPECT_EQ(static_cast<LONG>(ERROR_BADDB),
              RegCreateKeyExA(key, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
    EXPECT_EQ(damaged, ReadFileBytes(m_file));
    RegCloseKey(key);
}

// A hand-made file nesting keys a million deep must not run the loader (or
// the freeing of what it read) past the stack; the API refuses such depth too.
TEST_F(RegistryTest, KeysNestedPastTheLimitAreRefused) {
    std::string deep = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kept]\n\"Good\"=\"yes\"\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 1000000; ++i) deep += "\\k";
    deep += "]\n";
    WriteFileBytes(m_file, deep);
    HKEY key = nullptr;
    ASSERT_EQ(kOk, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_READ, &key));
    EXPECT_EQ("yes", GetText(key, "Good"));
    RegCloseKey(key);
    EXPECT_NE(kOk, RegOpenKeyExA(HKEY_CURRENT_USER, "k", 0, KEY_READ, &key)) << "the over-deep section was read";

    WriteFileBytes(m_file, "REGEDIT4\n\n");
    std::string path = "k";
    for (size_t i = 1; i < regtext::kMaxKeyDepth; ++i) path += "\\k";
    HKEY made = nullptr;
    EXPECT_EQ(kOk, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made,
                                   nullptr));
    HKEY deeper = nullptr;
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_PARAMETER),
              RegCreateKeyExA(made, "one", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deeper, nullptr));
    RegCloseKey(made);
}

TEST_F(RegistryTest, FileWithoutTheHeaderIsDamaged) {
    WriteFileBytes(m_file, "[HKEY_CURRENT_USER\\Software]\n\"a\"=\"b\"\n");
    HKEY key = nullptr;
    EXPECT_EQ(static_cast<LONG>(ERROR_BADDB),
              RegCreateKeyExA(HKEY_CURRENT_USER, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
}

TEST_F(RegistryTest, SavesReplaceTheFileInsteadOfWritingIntoIt) {
    HKEY key = Create("Software\\Safe");
    ASSERT_EQ(kOk, SetText(key, "v", "first"));
    struct stat before {};
    ASSERT_EQ(0, ::stat(m_file.c_str(), &before));
    ASSERT_EQ(kOk, SetText(key, "v", "second"));
    struct stat after {};
    ASSERT_EQ(0, ::stat(m_file.c_str(), &after));
    EXPECT_NE(before.st_ino, after.st_ino);
    RegCloseKey(key);
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
        EXPECT_EQ("registry.reg", entry.path().filename().string());
        ++entries;
    }
    EXPECT_EQ(1u, entries);
}

TEST_F(RegistryTest, FailedSaveDropsTheChange) {
    // A plain file where the registry's folder should be: nothing can be saved.
    WriteFileBytes(m_dir.file("plain"), "x");
    UseFile(m_dir.file("plain") + "/registry.reg");
    HKEY key = nullptr;
    EXPECT_NE(kOk, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Lost", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                   &key, nullptr));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(static_cast<LONG>(ERROR_FILE_NOT_FOUND),
              RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Lost", 0, KEY_READ, &key));
    EXPECT_NE(kOk, SetText(HKEY_CURRENT_USER, "RootValue", "x"));
    EXPECT_EQ("<error 2>", GetText(HKEY_CURRENT_USER, "RootValue"));
}

TEST_F(RegistryTest, NamesThatCannotBeStoredAreRefused) {
    HKEY key = nullptr;
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_PARAMETER),
              RegCreateKeyExA(HKEY_CURRENT_USER, "Bad\nName", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr));
    key = Create("Software\\Names");
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_PARAMETER), SetText(key, "two\nlines", "x"));
    EXPECT_EQ(static_cast<LONG>(ERROR_INVALID_HANDLE), SetText(reinterpret_cast<HKEY>(&key), "x", "y"));
    RegCloseKey(key);
}

TEST_F(RegistryTest, DefaultLocationFollowsTheEnvironment) {
    {
        testsupport::ScopedEnv noExplicit("VOCERRA_REGISTRY", nullptr);
        testsupport::ScopedEnv config("XDG_CONFIG_HOME", m_dir.path().c_str());
        EXPECT_EQ(m_dir.path() + "/vocerra/registry.reg", RegistryFilePath());
        HKEY key = Create("Software\\Where");
        RegCloseKey(key);
        EXPECT_TRUE(FileExists(m_dir.path() + "/vocerra/registry.reg"));
    }
    testsupport::ScopedEnv noExplicit("VOCERRA_REGISTRY", nullptr);
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", "relative/not/used");
    testsupport::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ("/home/someone/.config/vocerra/registry.reg", RegistryFilePath());
}

using RegistryConcurrency = RegistryTest;

TEST_F(RegistryConcurrency, WritersOnSeveralThreadsAllReachTheFile) {
    constexpr int kThreads = 4;
    constexpr int kValues = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::string path = "Software\\Thread" + std::to_string(t);
            HKEY key = nullptr;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) != kOk) {
                return;
            }
            for (int i = 0; i < kValues; ++i) {
                std::string name = "v" + std::to_string(i);
                SetText(key, name.c_str(), std::to_string(t * 1000 + i));
            }
            RegCloseKey(key);
        });
    }
    for (std::thread& thread : threads) thread.join();
    regtext::Store store;
    ASSERT_TRUE(regtext::Parse(ReadFileBytes(m_file), store));
    for (int t = 0; t < kThreads; ++t) {
        regtext::Key* key =
            store.roots[regtext::kCurrentUser].FindSubkey("Software")->FindSubkey("Thread" + std::to_string(t));
        ASSERT_NE(nullptr, key);
        ASSERT_EQ(static_cast<size_t>(kValues), key->values.size());
        EXPECT_EQ(std::to_string(t * 1000 + 7) + std::string(1, '\0'), key->FindValue("v7")->data);
    }
}

}  // namespace

namespace {

std::string RegSeed(const char* name) {
    auto path = std::filesystem::path(VOCERRA_TEST_DATA).parent_path() / "fuzz/corpus/reg" / name;
    return ReadFileBytes(path.string());
}

// The fuzzer's seeds must stay files the loader reads whole, and the
// damaged one must stay damaged past its good lines.
TEST(RegistryFuzzSeeds, SeedsReadAsIntended) {
    regtext::Store store;
    ASSERT_TRUE(regtext::Parse(RegSeed("modem_class.reg"), store));
    EXPECT_NE(nullptr, store.roots[regtext::kCurrentUser].FindSubkey("Software"));

    regtext::Store edited;
    ASSERT_TRUE(regtext::Parse(RegSeed("hand_edited.reg"), edited));
    regtext::Key* mixed = edited.roots[regtext::kCurrentUser].FindSubkey("Software")->FindSubkey("Mixed");
    ASSERT_NE(nullptr, mixed);
    EXPECT_EQ(std::string("C:\\Program Files\\x \"quoted\"") + '\0', mixed->FindValue("Path")->data);
    EXPECT_EQ(27u, mixed->FindValue("Blob")->data.size());
    EXPECT_EQ(REG_MULTI_SZ, mixed->FindValue("Multi")->type);
    EXPECT_EQ(nullptr, mixed->FindValue("Gone"));
    EXPECT_NE(nullptr, edited.roots[regtext::kLocalMachine].FindValue("RootValue"));

    regtext::Store damaged;
    int badLine = 0;
    EXPECT_FALSE(regtext::Parse(RegSeed("damaged.reg"), damaged, &badLine));
    EXPECT_EQ(5, badLine);
    EXPECT_NE(nullptr, damaged.roots[regtext::kCurrentUser].FindSubkey("Software")->FindSubkey("Broken")
                           ->FindValue("Good"));
}

}  // namespace

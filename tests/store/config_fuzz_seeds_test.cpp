// The configuration fuzzer's seed corpus must stay a set of well-formed files
// of the current layout; it was written by this same code.
#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "config_test_support.h"
#include "store/app_config.h"
#include "store/config_file_format.h"
#include "support/temp_dir.h"

namespace {

std::string Seed(const char* name) {
    auto path = std::filesystem::path(VOCERRA_TEST_DATA).parent_path() / "fuzz/corpus/config" / name;
    return testsupport::ReadFileBytes(path.string());
}

VM_ConfigRead Decode(const std::string& bytes) {
    testsupport::TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    return VM_DecodeConfig(cfg, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           bytes.size());
}

}  // namespace

TEST(ConfigFuzzSeeds, SeedsAreFilesOfTheCurrentLayout) {
    testsupport::TempDir dir;
    VM_CAppCfg cfg(dir.path().c_str());
    EXPECT_EQ(Seed("first_run.Cfg"), VM_EncodeConfig(cfg));
    cfgtest::SetNonDefaults(cfg);
    EXPECT_EQ(Seed("all_fields_set.Cfg"), VM_EncodeConfig(cfg));
    VM_CAppCfg::VM_SetText(cfg.m_szTitle, nullptr);
    VM_CAppCfg::VM_SetText(cfg.m_szEmail[2], nullptr);
    cfg.m_szPassword.VM_Clear();
    std::string absent = VM_EncodeConfig(cfg);
    EXPECT_EQ(Seed("absent_strings.Cfg"), absent);
    EXPECT_EQ(Seed("short.Cfg"), absent.substr(0, 60));
    EXPECT_EQ(Decode(Seed("short.Cfg")), VM_ConfigRead::kShort);
}

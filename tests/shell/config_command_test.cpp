// `vocerra config` with no copy running: every setting changes through the
// file with nothing else in it moved, and a value the set-up pages would not
// take is refused with the range and leaves the file as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shell/config_command.h"
#include "shell/config_settings.h"
#include "store/app_config.h"
#include "store/config_file_format.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

std::string Drain(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

Outcome Config(const std::vector<std::string>& args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = VM_RunConfigCommand(args, out, err);
    return {code, Drain(out), Drain(err)};
}

// One value each setting takes, how it then reads, and one it must refuse.
// Ordered so that the mail settings are complete before notices go on.
struct Sample {
    const char* name;
    const char* value;
    const char* shown;
    const char* refused;
};
const Sample kSamples[] = {
    {"Answering", "off", "off", "maybe"},
    {"rings", "7", "7", "0"},
    {"TollSaver", "ON", "on", "2"},
    {"MaxCallMinutes", "999", "999", "1000"},
    {"SilenceSeconds", "0", "0", "100"},
    {"SilenceLevel", "100", "100", "101"},
    {"Mailboxes", "multiple", "multiple", "several"},
    {"Prescreen", "no", "off", "x"},
    {"EnhanceCalls", "off", "off", "x"},
    {"EnhanceGreetings", "false", "off", "x"},
    {"ModemFix", "0", "off", "x"},
    {"RemoteRetrieval", "on", "on", "x"},
    {"DefaultPassword", "123456", "123456", "1234567"},
    {"Password", "42", "42", "4a"},
    {"AlertSound", "with-message", "with-message", "loud"},
    {"StartInInbox", "off", "off", "x"},
    {"EmptyDeletedOnExit", "off", "off", "x"},
    {"ShowTips", "off", "off", "x"},
    {"SmtpServer", "mail.example.net", "mail.example.net", "mail\nexample"},
    {"SmtpPort", "587", "587", "65536"},
    {"SmtpSecurity", "starttls", "starttls", "tls"},
    {"SmtpAuthentication", "on", "on", "x"},
    {"SmtpUser", "ann", "ann", "a\tb"},
    {"SmtpPassword", "secret", "(set)", "a\x7f"},
    {"Sender", "ann@example.net", "ann@example.net", "ann\r\n@example.net"},
    {"Email1", "bob@example.net", "bob@example.net", "b\rob"},
    {"Attach1", "on", "on", "x"},
    {"Email2", "cy@example.net", "cy@example.net", "\n"},
    {"Attach2", "on", "on", "x"},
    {"Email3", "di@example.net", "di@example.net", "\n"},
    {"Attach3", "on", "on", "x"},
    {"Email4", "ed@example.net", "ed@example.net", "\n"},
    {"Attach4", "on", "on", "x"},
    {"Email5", "fi@example.net", "fi@example.net", "\n"},
    {"Attach5", "on", "on", "x"},
    {"EmailNotify", "every-call", "every-call", "sometimes"},
    {"OnCall", "hooks/on call", "hooks/on call", "hook\nrm -rf ~"},
};

class ConfigCommand : public ::testing::Test {
protected:
    void SetUp() override {
        chmod(m_runtime.path().c_str(), 0700);
        // What no setting shows must come through every change as it was.
        VM_CAppCfg cfg(m_home.path().c_str());
        cfg.m_nNextTip = 5;
        cfg.m_nCallSortColumn = 2;
        cfg.m_nAddrSortColumn = 3;
        cfg.m_bReserved = 9;
        cfg.m_idReserved = 77;
        cfg.m_dReserved1 = 12.5;
        VM_CAppCfg::VM_SetText(cfg.m_szTitle, "Mine");
        ASSERT_TRUE(cfg.VM_Save());
    }
    std::string File() { return testsupport::ReadFileBytes(m_home.file("Config/Vocerra.Cfg")); }
    std::map<std::string, std::string> Values() {
        const VM_CAppCfg cfg(m_home.path().c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
        std::map<std::string, std::string> values;
        for (const VM_SConfigSetting& setting : VM_ConfigSettings()) values[setting.name] = setting.get(cfg);
        return values;
    }

    testsupport::TempDir m_home;
    testsupport::TempDir m_runtime;
    testsupport::ScopedEnv m_homeEnv{"VOCERRA_HOME", m_home.path().c_str()};
    testsupport::ScopedEnv m_runtimeEnv{"VOCERRA_RUNTIME_DIR", m_runtime.path().c_str()};
    // For settings kept in the registry file: never the user's own.
    testsupport::ScopedEnv m_registryEnv{"VOCERRA_REGISTRY", m_runtime.file("registry.reg").c_str()};
};

TEST_F(ConfigCommand, EverySettingChangesOnlyItselfAndRefusesWhatIsOutOfRange) {
    std::map<std::string, bool> sampled;
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.name);
        const VM_SConfigSetting* setting = VM_FindConfigSetting(sample.name);
        ASSERT_NE(nullptr, setting);
        sampled[setting->name] = true;
        const std::string before = File();
        std::map<std::string, std::string> expected = Values();

        const Outcome refused = Config({"set", sample.name, sample.refused});
        EXPECT_EQ(1, refused.code);
        EXPECT_NE(std::string::npos, refused.err.find(setting->range)) << refused.err;
        EXPECT_EQ(before, File()) << "a refused value changes nothing";

        const Outcome done = Config({"set", sample.name, sample.value});
        ASSERT_EQ(0, done.code) << done.err;
        EXPECT_EQ(sample.shown + std::string("\n"), Config({"get", sample.name}).out);
        expected[setting->name] = sample.shown;
        EXPECT_EQ(expected, Values());
        const VM_CAppCfg reread(m_home.path().c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
        EXPECT_EQ(File(), VM_EncodeConfig(reread)) << "the file reads back to the same bytes";
    }
    for (const VM_SConfigSetting& setting : VM_ConfigSettings())
        EXPECT_EQ(setting.set != nullptr, sampled[setting.name]) << setting.name << " has no sample";

    const VM_CAppCfg cfg(m_home.path().c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
    EXPECT_EQ(5, cfg.m_nNextTip);
    EXPECT_EQ(0, cfg.m_nCallSortColumn) << "the mailbox change resets the call-log sort";
    EXPECT_EQ(3, cfg.m_nAddrSortColumn);
    EXPECT_EQ(9, cfg.m_bReserved);
    EXPECT_EQ(77, cfg.m_idReserved);
    EXPECT_EQ(12.5, cfg.m_dReserved1);
    EXPECT_STREQ("Mine", cfg.m_szTitle);
    EXPECT_EQ(0x21, cfg.m_nSmtpSecurity) << "STARTTLS (0x20) with the login bit";
    EXPECT_EQ("secret", std::string(cfg.m_szSmtpPassword));
}

TEST_F(ConfigCommand, RulesAcrossSettingsNamesAndTheCommandLineAreChecked) {
    // Notices need a complete mail set-up, and keep needing it.
    Outcome refused = Config({"set", "EmailNotify", "every-call"});
    EXPECT_EQ(1, refused.code);
    EXPECT_NE(std::string::npos, refused.err.find("SMTP configurations")) << refused.err;
    const std::pair<const char*, const char*> mail[] = {
        {"SmtpServer", "mail.example.net"}, {"Sender", "a@example.net"}, {"Email1", "b@example.net"}};
    for (const auto& [name, value] : mail) ASSERT_EQ(0, Config({"set", name, value}).code);
    ASSERT_EQ(0, Config({"set", "EmailNotify", "address-book"}).code);
    EXPECT_EQ(1, Config({"set", "SmtpServer", " "}).code);
    EXPECT_EQ("mail.example.net\n", Config({"get", "SmtpServer"}).out);

    // Retrieval needs two digit passwords; a hand-edited file may lack them.
    {
        VM_CAppCfg cfg(m_home.path().c_str());
        cfg.m_szPassword.VM_Set("");
    }
    EXPECT_EQ(1, Config({"set", "RemoteRetrieval", "on"}).code);
    EXPECT_EQ(0, Config({"set", "Password", "1234"}).code);
    EXPECT_EQ(0, Config({"set", "RemoteRetrieval", "on"}).code);

    const Outcome unknown = Config({"set", "Ringz", "3"});
    EXPECT_EQ(1, unknown.code);
    EXPECT_NE(std::string::npos, unknown.err.find("no setting \"Ringz\"")) << unknown.err;
    EXPECT_EQ(1, Config({"set", "Line", "3"}).code) << "the line is chosen in the wizard";
    EXPECT_EQ(2, Config({"set", "Rings"}).code);
    EXPECT_EQ(2, Config({"frob"}).code);
    const Outcome listed = Config({});
    EXPECT_EQ(0, listed.code);
    EXPECT_NE(std::string::npos, listed.out.find("RemoteRetrieval")) << listed.out;
}

}  // namespace

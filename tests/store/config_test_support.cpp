#include "config_test_support.h"

#include <filesystem>

#include "support/temp_dir.h"

namespace cfgtest {

void PlaceConfigFile(const std::string& home, const std::string& bytes) {
    std::filesystem::create_directories(home + "/Config");
    testsupport::WriteFileBytes(CfgPath(home), bytes);
}

std::size_t FilesIn(const std::string& folder) { return testsupport::FilesIn(folder); }

void SetNonDefaults(VM_CAppCfg& cfg) {
    VM_CAppCfg::VM_SetText(cfg.m_szTitle, "Other title");
    cfg.m_dwFlags = 0x00012345;
    cfg.m_nCallSortColumn = 4;
    cfg.m_nCallSortOrder = 2;
    cfg.m_nAddrSortColumn = 3;
    cfg.m_nAddrSortOrder = 2;
    cfg.m_nNextTip = 7;
    cfg.m_nAlertMode = 2;
    cfg.m_nNotifyMode = 1;
    VM_CAppCfg::VM_SetText(cfg.m_szSmtpServer, "mail.example.org");
    VM_CAppCfg::VM_SetText(cfg.m_szSender, "me@example.org");
    cfg.m_nSmtpPort = 587;
    cfg.m_bReserved = 9;
    cfg.m_nSmtpSecurity = 0x21;
    VM_CAppCfg::VM_SetText(cfg.m_szSmtpUser, "me");
    VM_CAppCfg::VM_SetText(cfg.m_szSmtpPassword, "s3cret");
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        std::string address = "to" + std::to_string(i) + "@example.org";
        VM_CAppCfg::VM_SetText(cfg.m_szEmail[i], address.c_str());
        cfg.m_bAttach[i] = static_cast<std::uint8_t>(i % 2);
    }
    cfg.m_idInbox = 11;
    cfg.m_idDeleted = 12;
    cfg.m_idBulkCall = 13;
    cfg.m_bReserved2 = 0;
    cfg.m_idLine = 2;
    cfg.m_idReserved = 7;
    cfg.m_idRecordDevice = 1;
    cfg.m_idPlayDevice = 0;
    cfg.m_nRings = 6;
    cfg.m_nMaxCallMinutes = 45;
    cfg.m_nSilenceSeconds = 20;
    cfg.m_nSilenceLevel = 33;
    cfg.m_dReserved1 = 1.5;
    cfg.m_dReserved2 = -2.25;
    cfg.m_szDefaultPassword.VM_Set("1234");
    cfg.m_szPassword.VM_Set("55");
}

}  // namespace cfgtest

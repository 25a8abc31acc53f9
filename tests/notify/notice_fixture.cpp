#include "notice_fixture.h"

namespace notifytest {

NoticeTest::NoticeTest() : cfg(home.path().c_str()) {
    ca.Set(server.caFile().c_str());
    cfg.m_nNotifyMode = 1;
    cfg.m_dwFlags |= VM_FLAG_SINGLE_MAILBOX;
    VM_CAppCfg::VM_SetText(cfg.m_szSender, "vocerra@example.com");
    UseServer("plain");
    recording = "RIFF";
    for (int i = 0; i < 20000; ++i) recording += static_cast<char>((i * 31) & 0xFF);
}

void NoticeTest::UseServer(const char* listener, std::uint8_t security, const char* password) {
    VM_CAppCfg::VM_SetText(cfg.m_szSmtpServer, "127.0.0.1");
    cfg.m_nSmtpPort = server.port(listener);
    cfg.m_nSmtpSecurity = security;
    VM_CAppCfg::VM_SetText(cfg.m_szSmtpUser, "vocerra");
    VM_CAppCfg::VM_SetText(cfg.m_szSmtpPassword, password);
}

void NoticeTest::SetAddresses(std::initializer_list<const char*> addresses) {
    int i = 0;
    for (const char* address : addresses) VM_CAppCfg::VM_SetText(cfg.m_szEmail[i++], address);
    for (; i < VM_EMAIL_COUNT; ++i) VM_CAppCfg::VM_SetText(cfg.m_szEmail[i], nullptr);
}

std::unique_ptr<VM_CCallInfo> NoticeTest::Call(const char* name, const char* number, bool recorded, DWORD flags) {
    auto record = std::make_unique<VM_CCallInfo>();
    record->VM_SetAttr(VM_CCallInfo::kAttrName, name);
    record->VM_SetAttr(VM_CCallInfo::kAttrNumber, number);
    record->VM_SetTime(2026, 3, 3, 21, 7, 12);
    record->VM_SetMailbox(2);
    record->VM_AddFlags(flags);
    if (recorded) {
        static int count = 0;
        const std::string path = home.file("Msg" + std::to_string(++count) + ".Wav");
        testsupport::WriteFileBytes(path, recording);
        record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, path.c_str());
    }
    return record;
}

}  // namespace notifytest

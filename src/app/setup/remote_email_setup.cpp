// The chain of the e-mail command: the remote-retrieval page, then, when
// notices are to be sent, the mail server page; the configuration changes
// only on the final OK.
#include "app/setup/email_page.h"
#include "app/setup/remote_page.h"
#include "app/setup/setup_wizards.h"
#include "store/app_config.h"

namespace {

void Commit(VM_CAppCfg& cfg, const VM_SRemoteSettings& remote, const VM_SEmailPageValues* page) {
    cfg.VM_SetFlag(remote.retrieval, VM_FLAG_REMOTE_RETRIEVAL);
    // With retrieval off the passwords typed are not checked, so not stored.
    if (remote.retrieval) {
        cfg.m_szDefaultPassword.VM_Set(remote.defaultPassword.c_str());
        cfg.m_szPassword.VM_Set(remote.currentPassword.c_str());
    }
    VM_StoreEmailSetup(cfg, remote.notifyMode, page);
}

}  // namespace

bool VM_RunRemoteEmailSetup(QWidget* parent, VM_CAppCfg& cfg) {
    VM_CRemotePage remotePage(parent, VM_LoadRemoteSettings(cfg));
    VM_CEmailPage emailPage(parent, VM_LoadEmailPage(cfg));
    for (;;) {
        const int first = remotePage.exec();
        if (first == VM_PAGE_CANCEL) return false;
        if (first == VM_PAGE_OK) {
            Commit(cfg, remotePage.VM_GetSettings(), nullptr);
            return true;
        }
        const int second = emailPage.exec();
        if (second == VM_PAGE_CANCEL) return false;
        if (second == VM_PAGE_OK) {
            const VM_SEmailPageValues values = emailPage.VM_GetValues();
            Commit(cfg, remotePage.VM_GetSettings(), &values);
            return true;
        }
    }
}

// "Setup Remote Retrieval & Email Notification": remote retrieval and its
// two passwords, and how e-mail notices are sent. Mode 0 finishes here (OK);
// modes 1 and 2 go on to the mail server page (Next).
#pragma once

#include <string>

#include "app/setup/setup_page.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class VM_CAppCfg;

struct VM_SRemoteSettings {
    bool retrieval = false;
    std::string defaultPassword;
    std::string currentPassword;
    int notifyMode = 0;  // 0 off, 1 all calls, 2 as the address book asks
};

VM_SRemoteSettings VM_LoadRemoteSettings(const VM_CAppCfg& cfg);

class VM_CRemotePage : public VM_CSetupPage {
    Q_OBJECT
public:
    VM_CRemotePage(QWidget* parent, const VM_SRemoteSettings& start);

    VM_SRemoteSettings VM_GetSettings() const;
    QCheckBox* VM_RetrievalBox() const { return m_pRetrieval; }
    QLineEdit* VM_DefaultPasswordEdit() const { return m_pDefault; }
    QLineEdit* VM_CurrentPasswordEdit() const { return m_pCurrent; }
    // Chooses notification mode 0, 1 or 2 as a click would.
    void VM_ChooseMode(int mode);

protected:
    bool VM_CanLeave() override;

private:
    QLineEdit* VM_PasswordEdit(const std::string& text);
    void VM_OnModeChosen();

    QCheckBox* m_pRetrieval;
    QLineEdit* m_pDefault;
    QLineEdit* m_pCurrent;
    QButtonGroup* m_pModes;
};

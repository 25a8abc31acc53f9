// "Setup Email": the mail server, the account, the security choice and the
// five forwarding addresses, with the test message that uses the values as
// typed. OK checks the same fields the test message needs.
#pragma once

#include "app/setup/setup_page.h"
#include "notify/email_setup_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class VM_CEmailPage : public VM_CSetupPage {
    Q_OBJECT
public:
    VM_CEmailPage(QWidget* parent, const VM_SEmailPageValues& start);

    VM_SEmailPageValues VM_GetValues() const;
    // "Send a Test Email": the check, the progress window, the result.
    void VM_SendTest();
    void VM_ShowHelp();

    QLineEdit* VM_ServerEdit() const { return m_pServer; }
    QLineEdit* VM_PortEdit() const { return m_pPort; }
    QCheckBox* VM_AuthBox() const { return m_pAuth; }
    QLineEdit* VM_UserEdit() const { return m_pUser; }
    QLineEdit* VM_PasswordEdit() const { return m_pPassword; }
    QLineEdit* VM_SenderEdit() const { return m_pSender; }
    QComboBox* VM_SecurityList() const { return m_pSecurity; }
    QLineEdit* VM_AddressEdit(int i) const { return m_pEmails[i]; }
    QCheckBox* VM_AttachBox(int i) const { return m_pAttach[i]; }
    QPushButton* VM_TestButton() const { return m_pTest; }

protected:
    bool VM_CanLeave() override;

private:
    void VM_AddServerGroup(const VM_SEmailPageValues& start);
    void VM_AddAddressGroup(const VM_SEmailPageValues& start);
    void VM_AddTestRow();
    void VM_SayIncomplete();

    QLineEdit* m_pServer = nullptr;
    QLineEdit* m_pPort = nullptr;
    QCheckBox* m_pAuth = nullptr;
    QLineEdit* m_pUser = nullptr;
    QLineEdit* m_pPassword = nullptr;
    QLineEdit* m_pSender = nullptr;
    QComboBox* m_pSecurity = nullptr;
    QLineEdit* m_pEmails[VM_EMAIL_COUNT] = {};
    QCheckBox* m_pAttach[VM_EMAIL_COUNT] = {};
    QPushButton* m_pTest = nullptr;
};

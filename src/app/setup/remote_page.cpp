#include "app/setup/remote_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "notify/email_setup_form.h"
#include "store/app_config.h"
#include "store/config_ranges.h"

VM_SRemoteSettings VM_LoadRemoteSettings(const VM_CAppCfg& cfg) {
    VM_SRemoteSettings s;
    s.retrieval = cfg.VM_IsFlag(VM_FLAG_REMOTE_RETRIEVAL);
    s.defaultPassword = cfg.m_szDefaultPassword.VM_String();
    s.currentPassword = cfg.m_szPassword.VM_String();
    s.notifyMode = cfg.m_nNotifyMode <= 2 ? cfg.m_nNotifyMode : 0;
    return s;
}

VM_CRemotePage::VM_CRemotePage(QWidget* parent, const VM_SRemoteSettings& start)
    : VM_CSetupPage(parent, VM_EMAIL_PAGE1_TITLE, false) {
    auto* remote = new QGroupBox(tr("Remote Retrieval"), this);
    auto* form = new QFormLayout(remote);
    m_pRetrieval = new QCheckBox(QStringLiteral("Enable remote message retrieval."), remote);
    m_pRetrieval->setChecked(start.retrieval);
    form->addRow(m_pRetrieval);
    m_pDefault = VM_PasswordEdit(start.defaultPassword);
    m_pCurrent = VM_PasswordEdit(start.currentPassword);
    form->addRow(QStringLiteral("Default password (maximum 6 digits):"), m_pDefault);
    form->addRow(QStringLiteral("Current password (maximum 6 digits):"), m_pCurrent);
    VM_Body()->addWidget(remote);

    auto* notify = new QGroupBox(tr("Email Notification"), this);
    auto* column = new QVBoxLayout(notify);
    m_pModes = new QButtonGroup(this);
    for (int mode = 0; mode < 3; ++mode) {
        auto* choice = new QRadioButton(QString::fromUtf8(VM_EMAIL_MODE_TEXTS[mode]), notify);
        m_pModes->addButton(choice, mode);
        column->addWidget(choice);
    }
    VM_Body()->addWidget(notify);
    connect(m_pModes, &QButtonGroup::idClicked, this, &VM_CRemotePage::VM_OnModeChosen);
    VM_ChooseMode(start.notifyMode);
}

QLineEdit* VM_CRemotePage::VM_PasswordEdit(const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text), this);
    edit->setMaxLength(VM_PASSWORD_MAX_CHARS);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    return edit;
}

void VM_CRemotePage::VM_ChooseMode(int mode) {
    m_pModes->button(mode)->setChecked(true);
    VM_OnModeChosen();
}

void VM_CRemotePage::VM_OnModeChosen() {
    VM_SetNext(m_pModes->checkedId() != 0);
}

VM_SRemoteSettings VM_CRemotePage::VM_GetSettings() const {
    VM_SRemoteSettings s;
    s.retrieval = m_pRetrieval->isChecked();
    s.defaultPassword = m_pDefault->text().toStdString();
    s.currentPassword = m_pCurrent->text().toStdString();
    s.notifyMode = m_pModes->checkedId();
    return s;
}

bool VM_CRemotePage::VM_CanLeave() {
    const VM_SRemoteSettings s = VM_GetSettings();
    if (VM_RemotePasswordsAcceptable(s.retrieval, s.defaultPassword.c_str(), s.currentPassword.c_str())) return true;
    QMessageBox::warning(this, windowTitle(), QString::fromUtf8(VM_PASSWORD_RULE_TEXT));
    return false;
}

#include "app/setup/email_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "app/setup/test_email_progress.h"

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

QLineEdit* Edit(QWidget* parent, const std::string& text) {
    return new QLineEdit(QString::fromStdString(text), parent);
}

std::string Typed(const QLineEdit* edit) {
    return edit->text().toStdString();
}

}  // namespace

VM_CEmailPage::VM_CEmailPage(QWidget* parent, const VM_SEmailPageValues& start)
    : VM_CSetupPage(parent, VM_EMAIL_PAGE2_TITLE, true) {
    VM_AddServerGroup(start);
    VM_AddAddressGroup(start);
    VM_AddTestRow();
    VM_SetNext(false);
}

void VM_CEmailPage::VM_AddServerGroup(const VM_SEmailPageValues& start) {
    auto* group = new QGroupBox(tr("Outgoing Mail"), this);
    auto* grid = new QGridLayout(group);
    m_pServer = Edit(group, start.server);
    m_pPort = Edit(group, start.port);
    m_pPort->setMaxLength(kEmailPortDigits);
    m_pPort->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pPort));
    m_pAuth = new QCheckBox(Text(VM_EMAIL_AUTH_TEXT), group);
    m_pAuth->setChecked(start.authentication);
    m_pUser = Edit(group, start.user);
    m_pPassword = Edit(group, start.password);
    m_pPassword->setEchoMode(QLineEdit::Password);
    m_pSender = Edit(group, start.sender);
    m_pSecurity = new QComboBox(group);
    for (const char* choice : VM_EMAIL_SECURITY_TEXTS) m_pSecurity->addItem(Text(choice));
    m_pSecurity->setCurrentIndex(start.security >= 0 && start.security <= 2 ? start.security : 0);
    grid->addWidget(new QLabel(Text(VM_EMAIL_SERVER_LABEL)), 0, 0);
    grid->addWidget(m_pServer, 0, 1);
    grid->addWidget(new QLabel(Text(VM_EMAIL_PORT_LABEL)), 0, 2);
    grid->addWidget(m_pPort, 0, 3);
    grid->addWidget(m_pAuth, 1, 0, 1, 4);
    grid->addWidget(new QLabel(Text(VM_EMAIL_USER_LABEL)), 2, 0);
    grid->addWidget(m_pUser, 2, 1);
    grid->addWidget(new QLabel(Text(VM_EMAIL_PASSWORD_LABEL)), 2, 2);
    grid->addWidget(m_pPassword, 2, 3);
    grid->addWidget(new QLabel(Text(VM_EMAIL_SENDER_LABEL)), 3, 0);
    grid->addWidget(m_pSender, 3, 1);
    grid->addWidget(new QLabel(Text(VM_EMAIL_SECURITY_LABEL)), 3, 2);
    grid->addWidget(m_pSecurity, 3, 3);
    VM_Body()->addWidget(group);
}

void VM_CEmailPage::VM_AddAddressGroup(const VM_SEmailPageValues& start) {
    auto* group = new QGroupBox(tr("Forward Notices To"), this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        m_pEmails[i] = Edit(group, start.emails[i]);
        m_pAttach[i] = new QCheckBox(Text(VM_EMAIL_ATTACH_TEXT), group);
        m_pAttach[i]->setChecked(start.attach[i]);
        grid->addWidget(new QLabel(Text(VM_EMAIL_ADDRESS_LABELS[i])), i, 0);
        grid->addWidget(m_pEmails[i], i, 1);
        grid->addWidget(m_pAttach[i], i, 2);
    }
    grid->setColumnStretch(1, 1);
    VM_Body()->addWidget(group);
}

void VM_CEmailPage::VM_AddTestRow() {
    auto* row = new QHBoxLayout;
    auto* help = new QLabel(QStringLiteral("<a href=\"help\">%1</a>").arg(Text(VM_EMAIL_HELP_LINK).toHtmlEscaped()),
                            this);
    connect(help, &QLabel::linkActivated, this, &VM_CEmailPage::VM_ShowHelp);
    m_pTest = new QPushButton(Text(VM_EMAIL_TEST_BUTTON), this);
    m_pTest->setAutoDefault(false);
    connect(m_pTest, &QPushButton::clicked, this, &VM_CEmailPage::VM_SendTest);
    row->addWidget(help);
    row->addStretch(1);
    row->addWidget(m_pTest);
    VM_Body()->addLayout(row);
}

VM_SEmailPageValues VM_CEmailPage::VM_GetValues() const {
    VM_SEmailPageValues values;
    values.server = Typed(m_pServer);
    values.port = Typed(m_pPort);
    values.authentication = m_pAuth->isChecked();
    values.user = Typed(m_pUser);
    values.password = Typed(m_pPassword);
    values.sender = Typed(m_pSender);
    values.security = m_pSecurity->currentIndex();
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        values.emails[i] = Typed(m_pEmails[i]);
        values.attach[i] = m_pAttach[i]->isChecked();
    }
    return values;
}

void VM_CEmailPage::VM_SayIncomplete() {
    QMessageBox::warning(this, windowTitle(), Text(VM_EMAIL_INCOMPLETE_TEXT));
}

bool VM_CEmailPage::VM_CanLeave() {
    if (VM_CheckEmailPage(VM_GetValues())) return true;
    VM_SayIncomplete();
    return false;
}

void VM_CEmailPage::VM_SendTest() {
    const VM_SEmailPageValues values = VM_GetValues();
    if (!VM_CheckEmailPage(values)) {
        VM_SayIncomplete();
        return;
    }
    VM_CTestEmailProgress progress(this);
    const VM_STestEmailOutcome outcome = progress.VM_Send(values);
    if (outcome.result == VM_ETestEmailResult::kSent) {
        QMessageBox::information(this, windowTitle(), Text(outcome.messageText));
    } else {
        QMessageBox::warning(this, windowTitle(), Text(outcome.messageText));
    }
}

void VM_CEmailPage::VM_ShowHelp() {
    QMessageBox::information(this, windowTitle(), Text(VM_EMAIL_HELP_TEXT));
}

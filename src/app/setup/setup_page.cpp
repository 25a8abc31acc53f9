#include "app/setup/setup_page.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

const char* const VM_TEXT_NEXT_BUTTON = "Next >>";
const char* const VM_TEXT_BACK_BUTTON = "<< Back";
const char* const VM_TEXT_OK_BUTTON = "OK";
const char* const VM_PROBLEM_RED = "#d02020";
const char* const VM_LIMIT_GREEN = "#209030";

VM_CSetupPage::VM_CSetupPage(QWidget* parent, const QString& title, bool hasBack) : QDialog(parent) {
    setWindowTitle(title);
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    m_pBody = new QVBoxLayout;
    outer->addLayout(m_pBody);
    outer->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (hasBack) {
        m_pBack = new QPushButton(VM_TEXT_BACK_BUTTON, this);
        m_pBack->setAutoDefault(false);
        buttons->addWidget(m_pBack);
        connect(m_pBack, &QPushButton::clicked, this, &VM_CSetupPage::VM_Back);
    }
    m_pFirst = new QPushButton(VM_TEXT_OK_BUTTON, this);
    m_pFirst->setDefault(true);
    buttons->addWidget(m_pFirst);
    m_pCancel = new QPushButton(tr("Cancel"), this);
    m_pCancel->setAutoDefault(false);
    buttons->addWidget(m_pCancel);
    outer->addLayout(buttons);
    connect(m_pFirst, &QPushButton::clicked, this, &VM_CSetupPage::VM_Forward);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void VM_CSetupPage::VM_SetNext(bool next) {
    m_bNext = next;
    m_pFirst->setText(next ? VM_TEXT_NEXT_BUTTON : VM_TEXT_OK_BUTTON);
}

void VM_CSetupPage::VM_Forward() {
    if (!VM_CanLeave()) return;
    VM_OnLeave();
    done(m_bNext ? VM_PAGE_NEXT : VM_PAGE_OK);
}

void VM_CSetupPage::VM_Back() {
    done(VM_PAGE_BACK);
}

void VM_ShowAsProblem(QWidget* widget) {
    QPalette palette = widget->palette();
    const QColor red(QString::fromLatin1(VM_PROBLEM_RED));
    palette.setColor(QPalette::WindowText, red);
    palette.setColor(QPalette::Text, red);
    widget->setPalette(palette);
}

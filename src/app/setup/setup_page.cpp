#include "app/setup/setup_page.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

const char* const VM_TEXT_NEXT_BUTTON = "Next >>";
const char* const VM_TEXT_BACK_BUTTON = "<< Back";
const char* const VM_TEXT_OK_BUTTON = "OK";

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
        m_pBack->setObjectName(QStringLiteral("back"));
        m_pBack->setAutoDefault(false);
        buttons->addWidget(m_pBack);
        connect(m_pBack, &QPushButton::clicked, this, &VM_CSetupPage::VM_Back);
    }
    m_pFirst = new QPushButton(VM_TEXT_OK_BUTTON, this);
    m_pFirst->setObjectName(QStringLiteral("first"));
    m_pFirst->setDefault(true);
    buttons->addWidget(m_pFirst);
    m_pCancel = new QPushButton(tr("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("cancel"));
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

void VM_SetIndication(QWidget* widget, bool red) {
    QPalette palette = widget->palette();
    const QColor colour = VM_IndicationColour(red);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QColor VM_IndicationColour(bool red) { return red ? QColor(0xD0, 0x20, 0x20) : QColor(0x20, 0x90, 0x30); }

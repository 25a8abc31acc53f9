#include "app/mailbox_setup/chain_page.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

VM_CChainPage::VM_CChainPage(QWidget* parent, const QString& title, bool withBack) : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    m_body = new QVBoxLayout;
    layout->addLayout(m_body);
    // Back, then forward, then Cancel, as the chain reads.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (withBack) {
        m_back = new QPushButton(QStringLiteral("<< Back"), this);
        m_back->setObjectName(QStringLiteral("back"));
        m_back->setAutoDefault(false);
        connect(m_back, &QPushButton::clicked, this, &VM_CChainPage::VM_GoBack);
        buttons->addWidget(m_back);
    }
    m_first = new QPushButton(QStringLiteral("OK"), this);
    m_first->setObjectName(QStringLiteral("first"));
    m_first->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    connect(m_first, &QPushButton::clicked, this, &VM_CChainPage::VM_Advance);
    connect(cancel, &QPushButton::clicked, this, &VM_CChainPage::reject);
    buttons->addWidget(m_first);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    setMinimumWidth(460);
}

void VM_CChainPage::VM_SetLeadsOn(bool next) {
    m_bNext = next;
    m_first->setText(next ? QStringLiteral("Next >>") : QStringLiteral("OK"));
}

void VM_CChainPage::VM_Advance() {
    VM_Keep();
    done(m_bNext ? VM_PAGE_NEXT : VM_PAGE_OK);
}

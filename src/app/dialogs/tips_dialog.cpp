#include "app/dialogs/tips_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/dialogs/record_dialogs.h"
#include "store/app_config.h"

namespace {

constexpr const char* kTips[kTipCount] = {
    "Double-click a message to open it: you can listen to it, see when the call came in, and "
    "write notes about it.",
    "Add a caller to your address book with the Add button: select a message first, and the "
    "caller's name and number are filled in for you.",
    "A caller in your address book can hear a personal greeting of their own. Open the entry and "
    "record it with the red round button.",
    "Tired of sales calls? Select the message and choose to block the caller: the next call is "
    "answered with a special tone and filed in Bulk Call.",
    "Use a '?' in an address-book number to match a range of numbers: 555-010? matches every "
    "number from 555-0100 to 555-0109.",
    "Deleted messages wait in the Deleted Messages folder until you empty it, so a message "
    "deleted by mistake can be moved back.",
    "Vocerra can e-mail you when a call comes in, with the message attached, so you hear your "
    "messages wherever you are.",
    "With remote retrieval you can call your own number, enter your password and listen to your "
    "messages from any touch-tone phone.",
    "Closing the main window keeps Vocerra answering your calls: it stays in the notification "
    "area, and a double click on its icon brings the window back.",
};

int ValidTip(int index) { return index >= 0 && index < kTipCount ? index : 0; }

}  // namespace

const char* VM_GetTip(int index) { return index >= 0 && index < kTipCount ? kTips[index] : nullptr; }

VM_CTipsDialog::VM_CTipsDialog(VM_CAppCfg& cfg, QWidget* parent)
    : QDialog(parent), m_cfg(cfg), m_nShown(ValidTip(cfg.m_nNextTip)) {
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setWindowIcon(VM_AppIcon());

    auto* heading = new QLabel(QStringLiteral("Did you know..."), this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);
    m_tip = new QLabel(this);
    m_tip->setWordWrap(true);
    m_tip->setMinimumSize(360, 80);
    m_tip->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_tip->setText(QString::fromUtf8(kTips[m_nShown]));
    m_showAtStart = new QCheckBox(QStringLiteral("Show tips at start-up"), this);
    m_showAtStart->setChecked(cfg.VM_IsFlag(VM_FLAG_TIPS));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton(QStringLiteral("Next Tip"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    connect(next, &QPushButton::clicked, this, &VM_CTipsDialog::VM_NextTip);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_tip, 1);
    layout->addWidget(m_showAtStart);
    layout->addWidget(buttons);
}

void VM_CTipsDialog::VM_NextTip() {
    m_nShown = (m_nShown + 1) % kTipCount;
    m_tip->setText(QString::fromUtf8(kTips[m_nShown]));
}

void VM_CTipsDialog::done(int result) {
    m_cfg.VM_SetFlag(m_showAtStart->isChecked(), VM_FLAG_TIPS);
    m_cfg.m_nNextTip = static_cast<std::uint8_t>((m_nShown + 1) % kTipCount);
    m_cfg.VM_Save();
    QDialog::done(result);
}

void VM_ShowTips(QWidget* parent, VM_CAppCfg& cfg) {
    VM_CTipsDialog dialog(cfg, parent);
    dialog.exec();
}

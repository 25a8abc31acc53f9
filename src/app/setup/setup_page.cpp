#include "app/setup/setup_page.h"

#include <QPushButton>

QPushButton* VM_CSetupPage::VM_CancelButton() const {
    return findChild<QPushButton*>(QStringLiteral("cancel"));
}

void VM_CSetupPage::done(int result) {
    if ((result == VM_PAGE_OK || result == VM_PAGE_NEXT) && !VM_CanLeave()) return;
    QDialog::done(result);
}

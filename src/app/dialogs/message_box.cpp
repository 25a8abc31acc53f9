#include "app/dialogs/message_box.h"

#include <QApplication>

namespace {

VM_MessageHook& Hook() {
    static VM_MessageHook hook;
    return hook;
}

}  // namespace

void VM_SetMessageHook(VM_MessageHook hook) { Hook() = std::move(hook); }

void VM_ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox box(icon, QStringLiteral("Vocerra"), text.trimmed(), QMessageBox::Ok, parent);
    // Texts may quote names and file names, which are never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

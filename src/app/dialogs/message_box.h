// The message boxes the dialogs show. They all go through here so that a
// test can read what a dialog said instead of answering a modal box.
#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>

void VM_ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Warning);

// While a hook is set, messages go to it instead of the screen; a null hook
// shows them again. For tests.
using VM_MessageHook = std::function<void(const QString& text)>;
void VM_SetMessageHook(VM_MessageHook hook);

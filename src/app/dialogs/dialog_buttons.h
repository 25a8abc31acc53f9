// The OK and Cancel row of a dialog, wired to its accept() and reject()
// (which the dialogs override with their checks).
#pragma once

class QDialog;
class QDialogButtonBox;

QDialogButtonBox* VM_MakeOkCancel(QDialog* dialog);

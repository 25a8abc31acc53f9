// The caller-ID window on screen: a modeless "Incoming Call..." window with
// the caller's name and number, the call's latest status line, "Hang Up"
// (the answer machine ends the call) and "Close" (the call goes on without
// the window). Once the user has closed it, the answer machine's later
// updates find it closed and change nothing.
#pragma once

#include <QPointer>

#include "callflow/caller_id_window.h"

class QDialog;
class QLabel;
class QWidget;

class VM_CCallerIDWindow : public VM_CCallerIDDlg {
public:
    VM_CCallerIDWindow(HWND parent, VM_CAnswerMachine* owner, QWidget* parentWidget);
    ~VM_CCallerIDWindow() override;

    void VM_Show() override;

    // The window while it is open, else null.
    QDialog* VM_GetDialog() const { return m_dialog.data(); }
    // What the window shows now (empty once closed).
    QString VM_GetShownName() const;
    QString VM_GetShownNumber() const;
    QString VM_GetShownStatus() const;

protected:
    void VM_OnCaller(const std::string& name, const std::string& number) override;
    void VM_OnStatus(const std::string& text) override;
    void VM_OnClose() override;

private:
    QPointer<QDialog> m_dialog;
    QPointer<QLabel> m_name;
    QPointer<QLabel> m_number;
    QPointer<QLabel> m_status;

    void VM_Build(QWidget* parentWidget);
};

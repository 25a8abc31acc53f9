// The progress window of "Send a Test Email": sends on a worker thread so
// the page stays painted, shows the result (the failure in red), then
// closes; the caller shows the result's message box.
#pragma once

#include <QDialog>

#include "notify/test_email.h"

class QLabel;


class VM_CTestEmailProgress : public QDialog {
    Q_OBJECT
public:
    explicit VM_CTestEmailProgress(QWidget* parent);

    // Sends values and returns once the window has closed.
    VM_STestEmailOutcome VM_Send(const VM_SEmailPageValues& values);
    // The result in the window; it closes shortly after.
    void VM_ShowResult(const VM_STestEmailOutcome& outcome);
    QLabel* VM_TextLabel() const { return m_pText; }

public slots:
    // Closing by hand waits for the result: the sending cannot be stopped.
    void reject() override;

private:
    QLabel* m_pText;
    bool m_bDone = false;
};

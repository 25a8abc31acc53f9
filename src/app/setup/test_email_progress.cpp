#include "app/setup/test_email_progress.h"

#include <thread>

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "app/setup/setup_page.h"
#include "notify/notice_text.h"


namespace {

// Long enough to read the result before the message box covers it.
constexpr int kResultShownMs = 700;

}  // namespace

VM_CTestEmailProgress::VM_CTestEmailProgress(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(VM_EMAIL_TEST_BUTTON));
    setModal(true);
    auto* column = new QVBoxLayout(this);
    auto* heading = new QLabel(QString::fromUtf8(VM_TEXT_SENDING_HEADING), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_pText = new QLabel(QString::fromUtf8(VM_TEXT_TEST_SENDING), this);
    m_pText->setMinimumWidth(m_pText->fontMetrics().horizontalAdvance(QString::fromUtf8(VM_TEXT_TEST_SENT)) + 40);
    column->addWidget(heading);
    column->addWidget(m_pText);
}

VM_STestEmailOutcome VM_CTestEmailProgress::VM_Send(const VM_SEmailPageValues& values) {
    VM_STestEmailOutcome outcome;
    std::thread worker([this, values, &outcome] {
        outcome = VM_SendTestEmail(values);
        const VM_STestEmailOutcome result = outcome;
        QMetaObject::invokeMethod(this, [this, result] { VM_ShowResult(result); }, Qt::QueuedConnection);
    });
    exec();
    worker.join();
    return outcome;
}

void VM_CTestEmailProgress::VM_ShowResult(const VM_STestEmailOutcome& outcome) {
    m_bDone = true;
    if (outcome.progressText != nullptr) m_pText->setText(QString::fromUtf8(outcome.progressText));
    if (outcome.result != VM_ETestEmailResult::kSent) VM_SetIndication(m_pText, true);
    QTimer::singleShot(kResultShownMs, this, &QDialog::accept);
}

void VM_CTestEmailProgress::reject() {
    if (m_bDone) QDialog::reject();
}

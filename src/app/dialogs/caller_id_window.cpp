#include "app/dialogs/caller_id_window.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/dialogs/record_dialogs.h"

namespace {

// The close box, Escape and "Close" all end up in one place: the owner
// learns the window is gone before Qt takes it down.
class CallerIDDialog : public QDialog {
public:
    CallerIDDialog(QWidget* parent, std::function<void()> onClose)
        : QDialog(parent), m_onClose(std::move(onClose)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        m_onClose();
    }
    void reject() override { m_onClose(); }

private:
    std::function<void()> m_onClose;
};

// The status texts end with a line break meant for a text box; a label
// would show it as an empty second line.
QString StatusLine(const std::string& text) {
    QString line = QString::fromLocal8Bit(text.c_str());
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

QString Shown(const QPointer<QLabel>& label) { return label ? label->text() : QString(); }

}  // namespace

VM_CCallerIDWindow::VM_CCallerIDWindow(HWND parent, VM_CAnswerMachine* owner, QWidget* parentWidget)
    : VM_CCallerIDDlg(parent, owner) {
    VM_Build(parentWidget);
}

VM_CCallerIDWindow::~VM_CCallerIDWindow() { delete m_dialog.data(); }

void VM_CCallerIDWindow::VM_Build(QWidget* parentWidget) {
    auto* dialog = new CallerIDDialog(parentWidget, [this] { VM_Close(); });
    m_dialog = dialog;
    dialog->setWindowTitle(QStringLiteral("Incoming Call..."));
    dialog->setWindowIcon(VM_AppIcon());
    dialog->setModal(false);
    // A call must not take the keyboard from whatever the user is typing.
    dialog->setAttribute(Qt::WA_ShowWithoutActivating);

    m_name = new QLabel(dialog);
    m_number = new QLabel(dialog);
    m_status = new QLabel(dialog);
    // The caller chose what these say: never markup.
    for (QLabel* label : {m_name.data(), m_number.data(), m_status.data()}) {
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setMinimumWidth(320);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Caller Name:"), m_name);
    fields->addRow(QStringLiteral("Calling From:"), m_number);

    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* hangUp = buttons->addButton(QStringLiteral("Hang Up"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    hangUp->setObjectName(QStringLiteral("hangUp"));
    close->setObjectName(QStringLiteral("close"));
    QObject::connect(hangUp, &QPushButton::clicked, dialog, [this] { VM_HangUp(); });
    QObject::connect(close, &QPushButton::clicked, dialog, [this] { VM_Close(); });

    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(fields);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
}

void VM_CCallerIDWindow::VM_Show() {
    if (m_dialog && !VM_IsClosed()) m_dialog->show();
}

void VM_CCallerIDWindow::VM_OnCaller(const std::string& name, const std::string& number) {
    if (m_name) m_name->setText(QString::fromLocal8Bit(name.c_str()));
    if (m_number) m_number->setText(QString::fromLocal8Bit(number.c_str()));
}

void VM_CCallerIDWindow::VM_OnStatus(const std::string& text) {
    if (m_status) m_status->setText(StatusLine(text));
}

void VM_CCallerIDWindow::VM_OnClose() {
    if (!m_dialog) return;
    // Called from the dialog's own handlers: it goes once they have returned.
    QDialog* dialog = m_dialog.data();
    m_dialog.clear();
    m_name.clear();
    m_number.clear();
    m_status.clear();
    dialog->hide();
    dialog->deleteLater();
}

QString VM_CCallerIDWindow::VM_GetShownName() const { return Shown(m_name); }
QString VM_CCallerIDWindow::VM_GetShownNumber() const { return Shown(m_number); }
QString VM_CCallerIDWindow::VM_GetShownStatus() const { return Shown(m_status); }

std::unique_ptr<VM_CCallerIDDlg> VM_MakeCallerIDWindow(HWND parent, VM_CAnswerMachine* owner,
                                                       QWidget* parentWidget) {
    return std::make_unique<VM_CCallerIDWindow>(parent, owner, parentWidget);
}

#include "app/frame/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

VM_CProgressWindow::VM_CProgressWindow(const QString& title)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint), m_label(new QLabel(this)) {
    setWindowTitle(title);
    setObjectName(QStringLiteral("startupProgress"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 48);
    layout->addWidget(m_label);
}

void VM_CProgressWindow::VM_ShowLine(const char* text) {
    m_label->setText(QString::fromUtf8(text != nullptr ? text : ""));
    if (!isVisible()) show();
    // Only drawing: no input and no queued window messages are handled
    // before the frame is ready for them.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
}

QString VM_CProgressWindow::VM_GetLine() const {
    return m_label->text();
}

// The small window that shows what start-up is doing, one line at a time.
#pragma once

#include <QWidget>

class QLabel;

class VM_CProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit VM_CProgressWindow(const QString& title);
    // Shows text in place of the line before and draws it at once, since
    // start-up keeps the event loop waiting until it is done.
    void VM_ShowLine(const char* text);
    QString VM_GetLine() const;

private:
    QLabel* m_label;
};

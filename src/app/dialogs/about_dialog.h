// The About box: the program's name and version and a line on
// what the program does.
#pragma once

#include <QDialog>

class VM_CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit VM_CAboutDialog(QWidget* parent = nullptr);
};

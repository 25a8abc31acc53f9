// The About box: the product title, the program's version and a line on
// what the program does.
#pragma once

#include <QDialog>

class VM_CAppCfg;

class VM_CAboutDialog : public QDialog {
    Q_OBJECT
public:
    VM_CAboutDialog(const VM_CAppCfg& cfg, QWidget* parent = nullptr);
};

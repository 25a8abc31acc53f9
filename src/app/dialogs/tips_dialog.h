// The tips dialog: one tip at a time, "Next Tip" to go on, and whether to
// show it at start-up (option bit 0x8). The tip to show next is kept in the
// configuration, so each start shows the following one.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class VM_CAppCfg;

// The number of tips; the configuration's next-tip index is below it.
constexpr int kTipCount = 9;
const char* VM_GetTip(int index);

class VM_CTipsDialog : public QDialog {
    Q_OBJECT
public:
    VM_CTipsDialog(VM_CAppCfg& cfg, QWidget* parent = nullptr);

    void VM_NextTip();
    int VM_GetShownTip() const { return m_nShown; }
    // On closing, however closed: the start-up choice and the next tip are
    // stored and the configuration saved.
    void done(int result) override;

private:
    VM_CAppCfg& m_cfg;
    int m_nShown;
    QLabel* m_tip;
    QCheckBox* m_showAtStart;
};

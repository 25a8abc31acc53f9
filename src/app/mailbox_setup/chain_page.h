// A page of the mailbox set-up chain: a modal dialog whose result says where
// the chain goes next. The first button reads "Next >>" or "OK".
#pragma once

#include <QDialog>

class QPushButton;
class QVBoxLayout;

// Results of a page.
constexpr int VM_PAGE_CANCEL = 0;
constexpr int VM_PAGE_OK = 1;
constexpr int VM_PAGE_NEXT = -1;
constexpr int VM_PAGE_BACK = -2;

class VM_CChainPage : public QDialog {
    Q_OBJECT
public:
    // withBack: the page has a "<< Back" button.
    VM_CChainPage(QWidget* parent, const QString& title, bool withBack);

    // "Next >>" (the page's first button leads on) or "OK".
    void VM_SetLeadsOn(bool next);
    bool VM_LeadsOn() const { return m_bNext; }
    QPushButton* VM_FirstButton() const { return m_first; }
    QPushButton* VM_BackButton() const { return m_back; }
    // Where the page's own widgets go, above the buttons.
    QVBoxLayout* VM_Body() const { return m_body; }

    // Ends the page with the first button's result (as a click does).
    void VM_Advance();
    void VM_GoBack() { done(VM_PAGE_BACK); }
    void reject() override { done(VM_PAGE_CANCEL); }

protected:
    // Runs before the page ends by its first button.
    virtual void VM_Keep() {}

private:
    QVBoxLayout* m_body;
    QPushButton* m_first;
    QPushButton* m_back = nullptr;
    bool m_bNext = false;
};

// One page of a set-up chain: a modal dialog whose result tells the chain
// where to go. The first button reads "Next >>" or "OK"; "<< Back" is shown
// only on pages that have a page before them.
#pragma once

#include <QColor>
#include <QDialog>

class QPushButton;
class QVBoxLayout;

// What exec() returns.
constexpr int VM_PAGE_CANCEL = 0;
constexpr int VM_PAGE_OK = 1;
constexpr int VM_PAGE_NEXT = -1;
constexpr int VM_PAGE_BACK = -2;

extern const char* const VM_TEXT_NEXT_BUTTON;  // "Next >>"
extern const char* const VM_TEXT_BACK_BUTTON;  // "<< Back"
extern const char* const VM_TEXT_OK_BUTTON;    // "OK"

class VM_CSetupPage : public QDialog {
    Q_OBJECT
public:
    VM_CSetupPage(QWidget* parent, const QString& title, bool hasBack);

    // Whether the first button goes on (Next) or finishes (OK).
    void VM_SetNext(bool next);
    bool VM_IsNext() const { return m_bNext; }
    QPushButton* VM_FirstButton() const { return m_pFirst; }
    QPushButton* VM_BackButton() const { return m_pBack; }
    QPushButton* VM_CancelButton() const { return m_pCancel; }

    // The first button: Next or OK once the page accepts its fields.
    void VM_Forward();
    void VM_Back();

protected:
    // Where the page's own widgets go.
    QVBoxLayout* VM_Body() const { return m_pBody; }
    // Checks the fields before Next or OK; a page that refuses says why.
    virtual bool VM_CanLeave() { return true; }
    // Called once the page is left by Next or OK, before the dialog ends.
    virtual void VM_OnLeave() {}

private:
    QVBoxLayout* m_pBody;
    QPushButton* m_pFirst;
    QPushButton* m_pBack = nullptr;
    QPushButton* m_pCancel;
    bool m_bNext = false;
};

// A label in the red of a problem or the green of a lesser limitation,
// keeping the palette's other roles.
void VM_SetIndication(QWidget* widget, bool red);
QColor VM_IndicationColour(bool red);

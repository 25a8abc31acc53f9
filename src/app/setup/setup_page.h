// A page of the modem and e-mail set-up chains: a chain page whose first
// button leaves only once the page accepts its fields.
#pragma once

#include <QColor>
#include <QDialog>

class VM_CSetupPage : public VM_CChainPage {
    Q_OBJECT
public:
    using VM_CChainPage::VM_CChainPage;

    QPushButton* VM_CancelButton() const;
    // A refused Next or OK leaves the page open.
    void done(int result) override;

protected:
    // Checks the fields before Next or OK; a page that refuses says why.
    virtual bool VM_CanLeave() { return true; }
};

// A label in the red of a problem or the green of a lesser limitation,
// keeping the palette's other roles.
void VM_SetIndication(QWidget* widget, bool red);
QColor VM_IndicationColour(bool red);

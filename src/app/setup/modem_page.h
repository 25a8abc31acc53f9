// The modem page: what the modem table holds, the features of the chosen
// modem (for the SIP line also where its registration stands), and the
// line id the chain goes on with.
#pragma once

#include <cstdint>

#include "app/setup/modem_features.h"
#include "app/setup/setup_page.h"

class QGroupBox;
class QLabel;
class QListWidget;

extern const char* const VM_TEXT_MODEM_PAGE_TITLE;

class VM_CModemPage : public VM_CSetupPage {
    Q_OBJECT
public:
    // table is read, not kept beyond the page; lineId is the chosen line.
    VM_CModemPage(QWidget* parent, const VM_SModemTable& table, std::int32_t lineId);

    // The line id after Next or OK; the one given before.
    std::int32_t VM_GetLineId() const { return m_idLine; }
    QListWidget* VM_List() const { return m_pList; }
    QLabel* VM_FeatureLabel(int index) const { return m_pFeatures[index]; }
    QLabel* VM_Heading() const { return m_pHeading; }
    QLabel* VM_Description() const { return m_pDescription; }
    QGroupBox* VM_Group() const { return m_pGroup; }
    // The registration of the SIP line shown; hidden for other lines.
    QLabel* VM_Registration() const { return m_pRegistration; }
    // What a click on feature index's link shows (a message box).
    void VM_ExplainFeature(int index);

protected:
    void VM_OnLeave() override;

private:
    void VM_BuildList();
    void VM_ShowFeatures(const VM_SModemFeatures& features);
    void VM_OnSelection();
    void VM_ShowRegistration();
    // The table entry behind list row, or null.
    const VM_SModemEntry* VM_EntryOfRow(int row) const;

    const VM_SModemTable& m_table;
    std::int32_t m_idLine;
    QLabel* m_pHeading;
    QLabel* m_pDescription;
    QGroupBox* m_pGroup;
    QListWidget* m_pList;
    QLabel* m_pFeatures[kModemFeatureCount];
    QLabel* m_pRegistration;
    VM_SModemFeatures m_shown;
    // Table indexes of the list's rows.
    int m_rowEntries[kModemTableSize] = {};
    int m_nRows = 0;
};

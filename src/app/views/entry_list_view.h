// A list view of call records or address entries: a flat report with full
// rows, several selectable, from which the selected entries are dragged
// onto a folder.
#pragma once

#include <QTreeWidget>
#include <vector>

#include "app/views/drag_drop.h"

class VM_CEntryListView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr const char* kMimeType = "application/x-vocerra-entries";

    VM_CEntryListView(QWidget* parent, VM_ETreeKind kind, VM_CDragDropState& drag);
    VM_ETreeKind VM_GetKind() const { return m_kind; }

    // Row positions, which are the list's positions, in ascending order.
    std::vector<int> VM_GetSelectedRows() const;
    // The first selected row, or -1.
    int VM_GetFirstSelected() const;
    // Selects that row alone and shows it; -1 clears the selection.
    void VM_SelectOnly(int row);

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    VM_ETreeKind m_kind;
    VM_CDragDropState& m_drag;
};

#include "app/views/entry_list_view.h"

#include <QDrag>
#include <QMimeData>
#include <QStyle>
#include <algorithm>

VM_CEntryListView::VM_CEntryListView(QWidget* parent, VM_ETreeKind kind, VM_CDragDropState& drag)
    : QTreeWidget(parent), m_kind(kind), m_drag(drag) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
}

std::vector<int> VM_CEntryListView::VM_GetSelectedRows() const {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : selectedItems()) rows.push_back(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

int VM_CEntryListView::VM_GetFirstSelected() const {
    const std::vector<int> rows = VM_GetSelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void VM_CEntryListView::VM_SelectOnly(int row) {
    clearSelection();
    QTreeWidgetItem* item = row >= 0 ? topLevelItem(row) : nullptr;
    if (item == nullptr) return;
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
}

void VM_CEntryListView::startDrag(Qt::DropActions /*supportedActions*/) {
    const int count = static_cast<int>(selectedItems().size());
    if (!VM_CDragVisitor().VM_Visit(m_drag, this, m_kind, count)) return;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(kMimeType, QByteArray::number(count));
    drag->setMimeData(mime);
    // One entry or several: the pointer tells which.
    const QStyle::StandardPixmap picture = count == 1 ? QStyle::SP_FileIcon : QStyle::SP_FileDialogListView;
    drag->setPixmap(style()->standardIcon(picture).pixmap(32, 32));
    drag->exec(Qt::MoveAction);
    m_drag.VM_End();
}

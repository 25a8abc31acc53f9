#include "app/views/folder_tree_items.h"

#include <QStyle>
#include <QTreeWidget>
#include <vector>

#include "store/folder_tree_model.h"

int VM_ItemFolderId(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, Qt::UserRole).toInt() : -1;
}

QIcon VM_FolderIcon(const QStyle* style, int imageIndex) {
    switch (imageIndex) {
    case 0: return style->standardIcon(QStyle::SP_DriveHDIcon);
    case 1: return style->standardIcon(QStyle::SP_FileDialogContentsView);
    case 2: return style->standardIcon(QStyle::SP_TrashIcon);
    case 4: return style->standardIcon(QStyle::SP_DirOpenIcon);
    default: return style->standardIcon(QStyle::SP_DirClosedIcon);
    }
}

void VM_ShowFolderState(QTreeWidgetItem* item, int32_t state) {
    QFont font = item->font(0);
    font.setBold(state == VM_CTreeItem::kStateBold);
    item->setFont(0, font);
}

void VM_FillFolderItems(QTreeWidget* widget, const VM_CTree& tree) {
    widget->clear();
    std::vector<QTreeWidgetItem*> parents;  // by depth
    for (const VM_STreeRow& row : VM_GetTreeRows(tree)) {
        parents.resize(static_cast<size_t>(row.depth));
        QTreeWidgetItem* item = parents.empty() ? new QTreeWidgetItem(widget) : new QTreeWidgetItem(parents.back());
        item->setText(0, QString::fromStdString(row.item->m_szName));
        item->setData(0, Qt::UserRole, row.item->m_id);
        item->setIcon(0, VM_FolderIcon(widget->style(), row.item->m_nImage));
        VM_ShowFolderState(item, row.item->m_nState);
        parents.push_back(item);
    }
    widget->expandAll();
}

QTreeWidgetItem* VM_FindFolderItem(QTreeWidget* widget, int folderId) {
    for (QTreeWidgetItemIterator it(widget); *it != nullptr; ++it)
        if (VM_ItemFolderId(*it) == folderId) return *it;
    return nullptr;
}

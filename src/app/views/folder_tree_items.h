// Filling a Qt tree widget with a folder tree: one item per folder, in the
// tree's order, each knowing its folder's identifier.
#pragma once

#include <QIcon>

#include "store/tree.h"

class QTreeWidget;
class QTreeWidgetItem;
class QStyle;

// The folder's identifier that the item carries.
int VM_ItemFolderId(const QTreeWidgetItem* item);
// Empties the widget and adds the tree's folders, all expanded; folders in
// the bold state are drawn bold.
void VM_FillFolderItems(QTreeWidget* widget, const VM_CTree& tree);
QTreeWidgetItem* VM_FindFolderItem(QTreeWidget* widget, int folderId);
// The picture of a folder's image index.
QIcon VM_FolderIcon(const QStyle* style, int imageIndex);
// Sets the item's font from the folder's state.
void VM_ShowFolderState(QTreeWidgetItem* item, int32_t state);

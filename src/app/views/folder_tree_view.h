// A folder tree on screen: shows one tree's folders (bold while a message
// folder holds unread messages), renames a folder in place, and takes the
// entries dropped on a folder from the list view of the same kind.
#pragma once

#include <QTreeWidget>
#include <functional>

#include "app/views/drag_drop.h"
#include "store/tree.h"

class VM_CFolderTreeView : public QTreeWidget {
    Q_OBJECT
public:
    VM_CFolderTreeView(QWidget* parent, VM_ETreeKind kind, VM_CDragDropState& drag, VM_CDropVisitor drop);
    VM_ETreeKind VM_GetKind() const { return m_kind; }

    // Shows the tree again; the folder selected before stays selected.
    void VM_Fill(const VM_CTree& tree);
    int VM_GetSelectedFolder() const;
    bool VM_SelectFolder(int folderId);
    void VM_SetFolderState(int folderId, int32_t state);
    // Starts editing the folder's name; rename gets the new name and says
    // whether it was taken (else the old name comes back).
    void VM_StartRename(int folderId, std::function<bool(int folderId, const QString& name)> rename);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    bool VM_JudgeTarget(QTreeWidgetItem* item);
    void VM_MarkTarget(QTreeWidgetItem* item);
    void VM_OnItemChanged(QTreeWidgetItem* item);

    VM_ETreeKind m_kind;
    VM_CDragDropState& m_drag;
    VM_CDropVisitor m_drop;
    const VM_CTree* m_pTree = nullptr;
    QTreeWidgetItem* m_pMarked = nullptr;
    int m_nRenaming = -1;
    QString m_oldName;
    std::function<bool(int, const QString&)> m_rename;
};

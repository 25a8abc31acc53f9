#include "app/views/folder_tree_view.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

#include "app/views/entry_list_view.h"
#include "app/views/folder_tree_items.h"

VM_CFolderTreeView::VM_CFolderTreeView(QWidget* parent, VM_ETreeKind kind, VM_CDragDropState& drag,
                                       VM_CDropVisitor drop)
    : QTreeWidget(parent), m_kind(kind), m_drag(drag), m_drop(drop) {
    setHeaderHidden(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAutoScroll(true);
    setAutoScrollMargin(12);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { VM_OnItemChanged(item); });
}

void VM_CFolderTreeView::VM_Fill(const VM_CTree& tree) {
    const int selected = VM_GetSelectedFolder();
    m_pTree = &tree;
    m_pMarked = nullptr;
    const QSignalBlocker block(this);
    VM_FillFolderItems(this, tree);
    if (QTreeWidgetItem* item = VM_FindFolderItem(this, selected)) setCurrentItem(item);
}

int VM_CFolderTreeView::VM_GetSelectedFolder() const { return VM_ItemFolderId(currentItem()); }

bool VM_CFolderTreeView::VM_SelectFolder(int folderId) {
    QTreeWidgetItem* item = VM_FindFolderItem(this, folderId);
    if (item == nullptr) return false;
    setCurrentItem(item);
    return true;
}

void VM_CFolderTreeView::VM_SetFolderState(int folderId, int32_t state) {
    if (QTreeWidgetItem* item = VM_FindFolderItem(this, folderId)) {
        const QSignalBlocker block(this);
        VM_ShowFolderState(item, state);
    }
}

void VM_CFolderTreeView::VM_StartRename(int folderId, std::function<bool(int, const QString&)> rename) {
    QTreeWidgetItem* item = VM_FindFolderItem(this, folderId);
    if (item == nullptr) return;
    m_rename = std::move(rename);
    m_nRenaming = folderId;
    m_oldName = item->text(0);
    {
        const QSignalBlocker block(this);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    setCurrentItem(item);
    editItem(item, 0);
}

void VM_CFolderTreeView::VM_OnItemChanged(QTreeWidgetItem* item) {
    if (m_nRenaming < 0 || VM_ItemFolderId(item) != m_nRenaming || item->text(0) == m_oldName) return;
    if (m_rename && m_rename(m_nRenaming, item->text(0))) {
        m_oldName = item->text(0);
        return;
    }
    const QSignalBlocker block(this);
    item->setText(0, m_oldName);
}

void VM_CFolderTreeView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTreeWidget::closeEditor(editor, hint);
    if (QTreeWidgetItem* item = VM_FindFolderItem(this, m_nRenaming)) {
        const QSignalBlocker block(this);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    }
    m_nRenaming = -1;
}

bool VM_CFolderTreeView::VM_JudgeTarget(QTreeWidgetItem* item) {
    if (item == nullptr || m_pTree == nullptr) return false;
    item->setExpanded(true);
    const VM_CNode* folder = m_pTree->VM_Find(VM_ItemFolderId(item));
    return VM_CDragMoveVisitor().VM_Visit(m_drag, m_kind, folder, VM_GetSelectedFolder());
}

void VM_CFolderTreeView::VM_MarkTarget(QTreeWidgetItem* item) {
    if (m_pMarked == item) return;
    const QSignalBlocker block(this);
    if (m_pMarked != nullptr) {
        m_pMarked->setBackground(0, QBrush());
        m_pMarked->setForeground(0, QBrush());
    }
    m_pMarked = item;
    if (item != nullptr) {
        item->setBackground(0, palette().brush(QPalette::Highlight));
        item->setForeground(0, palette().brush(QPalette::HighlightedText));
    }
}

void VM_CFolderTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(VM_CEntryListView::kMimeType) && m_drag.VM_IsActive() &&
        m_drag.VM_GetKind() == m_kind)
        event->acceptProposedAction();
    else
        event->ignore();
}

void VM_CFolderTreeView::dragMoveEvent(QDragMoveEvent* event) {
    QTreeWidget::dragMoveEvent(event);  // scrolls near the edges
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    const bool allowed = VM_JudgeTarget(item);
    VM_MarkTarget(item);
    if (allowed)
        event->acceptProposedAction();
    else
        event->ignore();
}

void VM_CFolderTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
    VM_MarkTarget(nullptr);
    QTreeWidget::dragLeaveEvent(event);
}

void VM_CFolderTreeView::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    VM_MarkTarget(nullptr);
    const VM_CNode* folder = item != nullptr && m_pTree != nullptr ? m_pTree->VM_Find(VM_ItemFolderId(item)) : nullptr;
    if (m_drop.VM_Visit(m_drag, m_kind, folder, VM_GetSelectedFolder()) != 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

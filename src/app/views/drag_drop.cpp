#include "app/views/drag_drop.h"

#include "store/folder_tree_model.h"

void VM_CDragDropState::VM_Begin(QWidget* source, VM_ETreeKind kind, int count) {
    m_pSource = source;
    m_kind = kind;
    m_nCount = count;
    m_nTarget = -1;
}

void VM_CDragDropState::VM_End() {
    m_pSource = nullptr;
    m_nCount = 0;
    m_nTarget = -1;
}

bool VM_CDragVisitor::VM_Visit(VM_CDragDropState& state, QWidget* list, VM_ETreeKind kind,
                               int selectedCount) const {
    if (list == nullptr || selectedCount <= 0) return false;
    state.VM_Begin(list, kind, selectedCount);
    return true;
}

bool VM_CDragMoveVisitor::VM_Visit(VM_CDragDropState& state, VM_ETreeKind treeKind, const VM_CNode* folder,
                                   int shownFolderId) const {
    const bool allowed = state.VM_IsActive() && folder != nullptr && state.VM_GetKind() == treeKind &&
                         VM_IsDropTarget(treeKind, folder, shownFolderId);
    state.VM_SetTarget(allowed ? folder->m_id : -1);
    return allowed;
}

int VM_CDropVisitor::VM_Visit(VM_CDragDropState& state, VM_ETreeKind treeKind, const VM_CNode* folder,
                              int shownFolderId) const {
    int result = 0;
    if (VM_CDragMoveVisitor().VM_Visit(state, treeKind, folder, shownFolderId)) {
        VM_SDropArgs args{state.VM_GetSource(), state.VM_GetKind(), folder->m_id};
        result = m_command.VM_Execute(&args);
    }
    state.VM_End();
    return result;
}

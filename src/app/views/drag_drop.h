// Dragging selected entries from a list view onto a folder of a folder
// tree: the state of one drag, and the visitors that start it, judge each
// folder the pointer passes over and carry out the drop through the drop
// command (key 0).
#pragma once

#include "app/views/mediator.h"
#include "store/folder_commands.h"

class QWidget;

// The drop command's argument.
struct VM_SDropArgs {
    QWidget* source = nullptr;
    VM_ETreeKind sourceKind = VM_ETreeKind::kMessages;
    int targetFolderId = -1;
};

class VM_CDragDropState {
public:
    bool VM_IsActive() const { return m_pSource != nullptr; }
    QWidget* VM_GetSource() const { return m_pSource; }
    VM_ETreeKind VM_GetKind() const { return m_kind; }
    int VM_GetCount() const { return m_nCount; }
    int VM_GetTarget() const { return m_nTarget; }
    void VM_SetTarget(int folderId) { m_nTarget = folderId; }

    void VM_Begin(QWidget* source, VM_ETreeKind kind, int count);
    // The capture released and the target mark gone.
    void VM_End();

private:
    QWidget* m_pSource = nullptr;
    VM_ETreeKind m_kind = VM_ETreeKind::kMessages;
    int m_nCount = 0;
    int m_nTarget = -1;
};

// A drag starts only from a list view with at least one selected entry.
class VM_CDragVisitor {
public:
    bool VM_Visit(VM_CDragDropState& state, QWidget* list, VM_ETreeKind kind, int selectedCount) const;
};

// Over a folder: whether dropping there is allowed. Never the folder shown
// (the tree's selected one), nor a folder the tree's kind refuses.
class VM_CDragMoveVisitor {
public:
    bool VM_Visit(VM_CDragDropState& state, VM_ETreeKind treeKind, const VM_CNode* folder, int shownFolderId) const;
};

// The release over an allowed folder runs the drop command with the source,
// its kind and the target; the drag ends either way.
class VM_CDropVisitor {
public:
    explicit VM_CDropVisitor(VM_CConcreteCmd command) : m_command(command) {}
    int VM_Visit(VM_CDragDropState& state, VM_ETreeKind treeKind, const VM_CNode* folder, int shownFolderId) const;

private:
    VM_CConcreteCmd m_command;
};

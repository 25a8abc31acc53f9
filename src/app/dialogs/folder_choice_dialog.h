// The folder dialog of Move, Copy and of filing a new address entry: a copy
// of a folder tree in which only the folders the command may target can be
// chosen; OK stays disabled until one is.
#pragma once

#include <QDialog>
#include <functional>

#include "store/folder_commands.h"
#include "store/tree.h"

class VM_CAppCfg;

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class VM_CFolderChoiceDialog : public QDialog {
    Q_OBJECT
public:
    // Result codes beside Accepted and Rejected.
    static constexpr int kBack = 2;

    // selectable: whether a folder may be chosen; current: the folder
    // preselected when selectable.
    VM_CFolderChoiceDialog(QWidget* parent, const VM_CTree& tree, const char* title, const char* prompt,
                           std::function<bool(const VM_CNode*)> selectable, int current);
    ~VM_CFolderChoiceDialog() override;

    // Adds "<< Back", which ends the dialog with kBack.
    void VM_AddBackButton();
    // -1 while none is chosen.
    int VM_GetChosenFolder() const;
    bool VM_IsOffered(int folderId) const;
    bool VM_Choose(int folderId);
    bool VM_IsOkEnabled() const;

private:
    void VM_OnCurrentChanged(QTreeWidgetItem* item);
    QTreeWidgetItem* VM_FindItem(int folderId) const;

    VM_CTree m_tree;  // a copy: the dialog never changes the real one
    QTreeWidget* m_view;
    QDialogButtonBox* m_buttons;
};

// Asks for the target of a Move or Copy of entries of the tree; -1 when
// cancelled.
int VM_ChooseTargetFolder(QWidget* parent, const VM_CAppCfg& cfg, const VM_CTree& tree, VM_ETreeKind kind,
                          bool forCopy, int current);
// Asks where a new address entry goes: a folder of the address tree, -1
// when cancelled, -2 for "<< Back".
int VM_ChooseEntryFolder(QWidget* parent, const VM_CTree& addressTree, int current);

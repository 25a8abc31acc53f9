// The commands of the main window that work on the stored data.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QStatusBar>
#include <QStackedWidget>
#include <QToolBar>
#include <filesystem>

#include "app/views/command_table.h"
#include "app/views/entry_list_view.h"
#include "app/dialogs/find_dialog.h"
#include "app/dialogs/folder_choice_dialog.h"
#include "app/views/folder_tree_view.h"
#include "app/views/main_views.h"
#include "callflow/answer_machine.h"
#include "platform/win32/win32.h"
#include "shell/call_mediator.h"
#include "store/app_config.h"
#include "store/call_filing.h"
#include "store/entry_transfer.h"
#include "store/folder_tree_model.h"
#include "store/read_state_sort.h"
#include "store/tree_node.h"

namespace {

constexpr const char* kDefaultSaveName = "CallMsg.wav";

// The recording's file name without its folder, or the fallback.
std::string ProposedName(const char* recording) {
    if (recording == nullptr) return kDefaultSaveName;
    const std::string name = std::filesystem::path(recording).filename().string();
    return name.empty() ? kDefaultSaveName : name;
}

std::string AskSavePath(QWidget* parent, const std::string& proposed) {
    QFileDialog dialog(parent, "Save As", QString::fromStdString(proposed),
                       "Wave Files (*.wav);;All Files (*)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("wav");
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(QString::fromStdString(proposed));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace

void VM_CMainViews::VM_RegisterCommands() {
    const std::pair<int, VM_FCommandHandler> commands[] = {
        {kCmdDrop, [this](void* arg) { return VM_CmdDrop(arg); }},
        {kCmdSaveAs, [this](void*) { return VM_CmdSaveAs(); }},
        {kCmdOpen, [this](void*) { return VM_CmdOpen(); }},
        {kCmdExit, [this](void*) { return VM_CmdExit(); }},
        {kCmdNewFolder, [this](void*) { return VM_CmdNewFolder(); }},
        {kCmdRenameFolder, [this](void*) { return VM_CmdRenameFolder(); }},
        {kCmdDeleteFolder, [this](void*) { return VM_CmdDeleteFolder(); }},
        {kCmdStatusBar, [this](void*) { return VM_CmdToggleStatusBar(); }},
        {kCmdToolBar, [this](void*) { return VM_CmdToggleToolBar(); }},
        {kCmdFolderTree, [this](void*) { return VM_CmdToggleFolderTree(); }},
        {kCmdSelectAll, [this](void*) { return VM_CmdSelectAll(); }},
        {kCmdMove, [this](void*) { return VM_CmdMoveOrCopy(false); }},
        {kCmdCopy, [this](void*) { return VM_CmdMoveOrCopy(true); }},
        {kCmdDelete, [this](void*) { return VM_CmdDelete(); }},
        {kCmdSortMailbox, [this](void*) { return VM_CmdSort(kCmdSortMailbox); }},
        {kCmdSortNumber, [this](void*) { return VM_CmdSort(kCmdSortNumber); }},
        {kCmdSortName, [this](void*) { return VM_CmdSort(kCmdSortName); }},
        {kCmdSortTime, [this](void*) { return VM_CmdSort(kCmdSortTime); }},
        {kCmdSortRead, [this](void*) { return VM_CmdSort(kCmdSortRead); }},
        {kCmdSortMessages, [this](void*) { return VM_CmdSort(kCmdSortMessages); }},
        {kCmdFind, [this](void*) { return VM_CmdFind(); }},
        {kCmdRestore, [this](void*) { return VM_CmdRestore(); }},
        {kCmdNewAddress, [this](void*) { return VM_CmdNewAddress(); }},
        {kCmdAddCaller, [this](void*) { return VM_CmdAddCaller(false); }},
        {kCmdBlockCaller, [this](void*) { return VM_CmdAddCaller(true); }},
        {kCmdAnswer, [this](void*) { return VM_CmdAnswer(); }},
    };
    for (const auto& [key, handler] : commands) m_mediator.VM_Register(key, handler);
    if (!m_hooks.chooseSavePath)
        m_hooks.chooseSavePath = [this](const std::string& proposed) { return AskSavePath(m_pFrame, proposed); };
    if (!m_hooks.chooseTarget)
        m_hooks.chooseTarget = [this](bool forCopy, int current) {
            return VM_ChooseTargetFolder(m_pFrame, m_cfg, VM_GetTree(m_page), VM_Kind(), forCopy, current);
        };
    if (!m_hooks.chooseAddressFolder)
        m_hooks.chooseAddressFolder = [this](int current) {
            return VM_ChooseEntryFolder(m_pFrame, *m_addressTree, current);
        };
}

int VM_CMainViews::VM_CmdOpen() {
    const int row = VM_GetListView(m_page)->VM_GetFirstSelected();
    if (row < 0) return 0;
    return m_page == Page::kMessages ? VM_CmdOpenRecord(row) : VM_CmdOpenAddress(row);
}

int VM_CMainViews::VM_CmdOpenRecord(int row, bool play) {
    VM_CCallInfo* record = m_callLog.VM_GetRecord(row);
    if (record == nullptr || !m_hooks.openRecord) return 0;
    const bool ok = m_hooks.openRecord(*record, play);
    // Read whether the dialog ended with OK or Cancel: it has been heard.
    VM_MarkMessageOpened(*m_callLog.VM_GetList(), *record, *m_messageTree);
    if (m_hooks.messageRead) m_hooks.messageRead(m_callLog.VM_GetFolderId(), record->m_id);
    if (ok) {
        VM_FillList(Page::kMessages);
    } else {
        VM_FillCallRow(row);
    }
    VM_RefreshFolderState(m_callLog.VM_GetFolderId());
    VM_GetListView(Page::kMessages)->VM_SelectOnly(row);
    return 1;
}

int VM_CMainViews::VM_CmdOpenAddress(int row) {
    VM_CAddrEntry* entry = m_addrList.VM_GetEntry(row);
    if (entry == nullptr || !m_hooks.editAddress) return 0;
    if (!m_hooks.editAddress(*entry, m_addrList.VM_GetFolderId(), "Open")) return 1;
    m_addrList.VM_GetList()->m_dwFlags |= VM_CList::kChanged;
    m_addrList.VM_GetList()->VM_Save();
    VM_FillList(Page::kAddresses);
    return 1;
}

int VM_CMainViews::VM_CmdSaveAs() {
    if (m_page != Page::kMessages) return 0;
    VM_CCallInfo* record = m_callLog.VM_GetRecord(VM_GetListView(Page::kMessages)->VM_GetFirstSelected());
    const char* recording = record != nullptr ? record->VM_GetWaveFile() : nullptr;
    if (recording == nullptr) return 0;
    const std::string source = recording;
    const std::string target = m_hooks.chooseSavePath(ProposedName(source.c_str()));
    if (target.empty()) return 0;
    // A failed copy says nothing: the file system left what it left.
    return CopyFileA(source.c_str(), target.c_str(), FALSE) ? 1 : 0;
}

int VM_CMainViews::VM_CmdExit() {
    if (m_hWnd == nullptr) return 0;
    return DestroyWindow(m_hWnd) ? 1 : 0;
}

VM_SFolderCommands VM_CMainViews::VM_FolderCommands() const {
    const VM_CTree& tree = VM_GetTree(m_page);
    const VM_CNode* selected = tree.VM_Find(VM_GetTreeView(m_page)->VM_GetSelectedFolder());
    const int records = m_page == Page::kMessages ? m_callLog.VM_GetRowCount() : m_addrList.VM_GetRowCount();
    return VM_GetFolderCommands(m_cfg, VM_Kind(), tree, selected, true, records);
}

int VM_CMainViews::VM_CmdNewFolder() {
    if (!VM_FolderCommands().newFolder) return 0;
    VM_CTree& tree = VM_GetTree(m_page);
    VM_CTreeItem* folder = VM_NewFolder(tree, tree.VM_Find(VM_GetTreeView(m_page)->VM_GetSelectedFolder()));
    if (folder == nullptr) return 0;
    VM_GetTreeView(m_page)->VM_Fill(tree);
    VM_ShowFolder(m_page, folder->m_id);
    return VM_CmdRenameFolder();
}

int VM_CMainViews::VM_CmdRenameFolder() {
    if (!VM_FolderCommands().rename) return 0;
    const Page page = m_page;
    VM_GetTreeView(page)->VM_StartRename(VM_GetTreeView(page)->VM_GetSelectedFolder(),
                                         [this, page](int folderId, const QString& name) {
                                             VM_CTree& tree = VM_GetTree(page);
                                             return VM_RenameFolder(tree, tree.VM_Find(folderId),
                                                                    name.trimmed().toUtf8().constData());
                                         });
    return 1;
}

int VM_CMainViews::VM_CmdDeleteFolder() {
    if (!VM_FolderCommands().deleteFolder) return 0;
    VM_CTree& tree = VM_GetTree(m_page);
    VM_CNode* folder = tree.VM_Find(VM_GetTreeView(m_page)->VM_GetSelectedFolder());
    const int parent = folder != nullptr ? folder->m_idParent : -1;
    // The list shown is the folder's own: it is empty and closed first.
    if (m_page == Page::kMessages)
        m_callLog.VM_Close();
    else
        m_addrList.VM_Close();
    m_calls->VM_SetShownList(m_callLog.VM_GetList());
    const bool deleted = VM_DeleteFolder(tree, folder);
    VM_GetTreeView(m_page)->VM_Fill(tree);
    VM_ShowFolder(m_page, deleted ? parent : VM_GetTreeView(m_page)->VM_GetSelectedFolder());
    return deleted ? 1 : 0;
}

int VM_CMainViews::VM_CmdToggleStatusBar() {
    m_statusBar->setVisible(!m_statusBar->isVisible());
    VM_GetAction(kCmdStatusBar)->setChecked(m_statusBar->isVisible());
    return 1;
}

int VM_CMainViews::VM_CmdToggleToolBar() {
    const bool show = !(m_cfg.m_dwFlags & VM_FLAG_TOOLBAR);
    m_cfg.VM_SetFlag(show, VM_FLAG_TOOLBAR);
    m_toolBar->setVisible(show);
    VM_GetAction(kCmdToolBar)->setChecked(show);
    return 1;
}

int VM_CMainViews::VM_CmdToggleFolderTree() {
    const bool show = !(m_cfg.m_dwFlags & VM_FLAG_FOLDER_TREE);
    m_cfg.VM_SetFlag(show, VM_FLAG_FOLDER_TREE);
    m_treeStack->setVisible(show);
    VM_GetAction(kCmdFolderTree)->setChecked(show);
    return 1;
}

int VM_CMainViews::VM_CmdSelectAll() {
    VM_GetListView(m_page)->selectAll();
    return VM_GetListView(m_page)->topLevelItemCount() > 0 ? 1 : 0;
}

void VM_CMainViews::VM_AfterTransfer(const VM_STransferResult& result, int targetFolderId) {
    VM_FillList(m_page);
    VM_CEntryListView* view = VM_GetListView(m_page);
    if (result.firstRemoved >= 0) view->VM_SelectOnly(result.VM_SelectionAfter(view->topLevelItemCount()));
    for (int row : result.failed)
        if (QTreeWidgetItem* item = view->topLevelItem(row)) item->setSelected(false);
    if (m_page != Page::kMessages) return;
    VM_RefreshFolderState(m_callLog.VM_GetFolderId());
    if (targetFolderId >= 0) VM_RefreshFolderState(targetFolderId);
}

int VM_CMainViews::VM_CmdMoveOrCopy(bool copy) {
    if (copy && m_page != Page::kMessages) return 0;
    VM_CList* shown = m_page == Page::kMessages ? m_callLog.VM_GetList() : m_addrList.VM_GetList();
    const std::vector<int> rows = VM_Selection();
    if (shown == nullptr || rows.empty()) return 0;
    const int target = m_hooks.chooseTarget(copy, shown->m_id);
    if (target < 0 || (!copy && target == shown->m_id)) return 0;
    const VM_STransferResult result = copy ? VM_CopyToFolder(m_cfg, *shown, rows, target)
                                           : VM_MoveToFolder(m_cfg, VM_Kind(), *shown, rows, target);
    VM_AfterTransfer(result, target);
    return result.ok ? 1 : 0;
}

int VM_CMainViews::VM_CmdDelete() {
    VM_CList* shown = m_page == Page::kMessages ? m_callLog.VM_GetList() : m_addrList.VM_GetList();
    const std::vector<int> rows = VM_Selection();
    if (shown == nullptr || rows.empty()) return 0;
    const VM_STransferResult result = VM_DeleteEntries(m_cfg, VM_Kind(), *shown, rows);
    VM_AfterTransfer(result, m_page == Page::kMessages ? m_cfg.m_idDeleted : -1);
    return result.ok ? 1 : 0;
}

int VM_CMainViews::VM_CmdSort(int command) {
    if (m_page == Page::kAddresses) {
        if (command != kCmdSortName && command != kCmdSortNumber) return 0;
        m_addrList.VM_SortCommand(command == kCmdSortName ? VM_EAddrColumn::kName : VM_EAddrColumn::kPhone);
    } else if (command == kCmdSortRead) {
        if (m_callLog.VM_GetList() == nullptr) return 0;
        m_nReadSortOrder = m_nReadSortOrder == kSortAscending ? kSortDescending : kSortAscending;
        VM_SortByReadState(*m_callLog.VM_GetList(), m_nReadSortOrder);
    } else {
        const VM_ECallColumn kind = command == kCmdSortMailbox   ? VM_ECallColumn::kMailbox
                                    : command == kCmdSortNumber  ? VM_ECallColumn::kNumber
                                    : command == kCmdSortName    ? VM_ECallColumn::kName
                                    : command == kCmdSortTime    ? VM_ECallColumn::kTime
                                                                 : VM_ECallColumn::kRecorded;
        m_callLog.VM_SortCommand(kind);
    }
    VM_FillList(m_page);
    return 1;
}

int VM_CMainViews::VM_CmdFind() {
    // One Find dialog at a time: a second Find brings it forward.
    if (auto* open = m_pFrame != nullptr ? m_pFrame->findChild<VM_CFindDialog*>("findDialog") : nullptr) {
        open->raise();
        open->activateWindow();
        return 1;
    }
    VM_CFindDialog::Target target;
    target.list = [this](VM_ERecordKind& kind) -> const VM_CList* {
        kind = m_page == Page::kMessages ? VM_ERecordKind::kCallRecord : VM_ERecordKind::kAddressEntry;
        return m_page == Page::kMessages ? m_callLog.VM_GetList() : m_addrList.VM_GetList();
    };
    target.selected = [this] { return VM_GetListView(m_page)->VM_GetFirstSelected(); };
    target.select = [this](int row) { VM_GetListView(m_page)->VM_SelectOnly(row); };
    auto* dialog = new VM_CFindDialog(m_pFrame, m_findOptions, m_findHistory, target);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName("findDialog");
    dialog->show();
    return 1;
}

int VM_CMainViews::VM_CmdRestore() {
    if (m_pFrame == nullptr) return 0;
    m_pFrame->showNormal();
    m_pFrame->raise();
    m_pFrame->activateWindow();
    return 1;
}

int VM_CMainViews::VM_ShowRecord(int folderId, int32_t recordId) {
    VM_CmdRestore();
    VM_ShowPage(Page::kMessages);
    if (!VM_ShowFolder(Page::kMessages, folderId)) return -1;
    const VM_CList* list = m_callLog.VM_GetList();
    const VM_CItem* record = list != nullptr ? list->VM_FindById(recordId) : nullptr;
    const int row = record != nullptr ? list->VM_IndexOf(record) : -1;
    if (row >= 0) VM_GetListView(Page::kMessages)->VM_SelectOnly(row);
    return row;
}

bool VM_CMainViews::VM_PlayRecord(int folderId, int32_t recordId) {
    const int row = VM_ShowRecord(folderId, recordId);
    return row >= 0 && VM_CmdOpenRecord(row, true) == 1;
}

int VM_CMainViews::VM_CmdAnswer() {
    const bool on = !(m_cfg.m_dwFlags & VM_FLAG_ANSWERING);
    if (on) {
        m_cfg.VM_SetFlag(true, VM_FLAG_ANSWERING);
        if (m_pMachine == nullptr || !m_pMachine->VM_Start()) m_cfg.VM_SetFlag(false, VM_FLAG_ANSWERING);
    } else {
        m_cfg.VM_SetFlag(false, VM_FLAG_ANSWERING);
        if (m_pMachine != nullptr) m_pMachine->VM_Stop();
    }
    m_cfg.VM_Save();
    VM_RefreshAnswerState();
    return (m_cfg.m_dwFlags & VM_FLAG_ANSWERING) == (on ? VM_FLAG_ANSWERING : 0) ? 1 : 0;
}

int VM_CMainViews::VM_CmdDrop(void* arg) {
    auto* drop = static_cast<VM_SDropArgs*>(arg);
    const Page page = drop != nullptr && drop->sourceKind == VM_ETreeKind::kAddresses ? Page::kAddresses
                                                                                      : Page::kMessages;
    if (drop == nullptr || drop->source != VM_GetListView(page)) {
        VM_RefreshShown();
        return 0;
    }
    VM_CList* shown = page == Page::kMessages ? m_callLog.VM_GetList() : m_addrList.VM_GetList();
    const std::vector<int> rows = VM_GetListView(page)->VM_GetSelectedRows();
    if (shown == nullptr || rows.empty()) return 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const VM_STransferResult result = VM_MoveToFolder(m_cfg, drop->sourceKind, *shown, rows, drop->targetFolderId);
    QApplication::restoreOverrideCursor();
    VM_AfterTransfer(result, drop->targetFolderId);
    return result.ok ? 1 : 0;
}

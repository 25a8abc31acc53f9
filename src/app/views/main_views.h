// The views of the main window and the commands that work on them: the
// page switch, the splitter with the message pair (folder tree and call
// log) or the address pair (address tree and address list), the toolbar,
// menus and status bar, the filing of new calls into what is shown, and
// every command that needs only the stored data. The dialogs of other
// parts of the program are reached through the hooks.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/views/drag_drop.h"
#include "app/views/mediator.h"
#include "callflow/observer.h"
#include "store/address_list_model.h"
#include "store/call_log_model.h"
#include "store/entry_transfer.h"
#include "store/list_search.h"
#include "store/tree.h"

class QAction;
class QMainWindow;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTabBar;
class QToolBar;
class VM_CAnswerMachine;
class VM_CCallMediator;
class VM_CEntryListView;
class VM_CFolderTreeView;
class VM_CTollSaver;
struct VM_SFiledCall;

class VM_CMainViews : public QObject {
    Q_OBJECT
public:
    enum class Page { kMessages, kAddresses };

    struct Hooks {
        // The record detail dialog, playing the message at once when play
        // is set; the record is marked read whatever it returns.
        std::function<bool(VM_CCallInfo&, bool play)> openRecord;
        // The address entry dialog titled title for an entry of folderId.
        std::function<bool(VM_CAddrEntry&, int folderId, const char* title)> editAddress;
        // A new call is filed: the alert, told whether the caller left a message.
        std::function<void(bool hasMessage)> newCall;
        // The same call, all that is known of it: the desktop notification.
        std::function<void(const VM_SFiledCall&)> callFiled;
        // A record has been opened and is read now.
        std::function<void(int folderId, int32_t recordId)> messageRead;
        // The path to save a recording to, given the proposed name; empty: cancelled.
        std::function<std::string(const std::string& proposed)> chooseSavePath;
        // The target of Move (forCopy false) or Copy; -1: cancelled.
        std::function<int(bool forCopy, int current)> chooseTarget;
        // The address folder a new entry from a caller goes to; -1:
        // cancelled, -2: back to the entry dialog.
        std::function<int(int current)> chooseAddressFolder;
    };

    // window: the main window the devices post to (null: none, new-call
    // notices then go out before filing, on this thread). The commands are
    // registered on mediator, which must outlive the views.
    VM_CMainViews(VM_CAppCfg& cfg, VM_CMediator& mediator, HWND window, VM_CTollSaver* tollSaver);
    ~VM_CMainViews() override;

    VM_CMediator& VM_GetMediator() { return m_mediator; }
    Hooks& VM_GetHooks() { return m_hooks; }
    void VM_SetAnswerMachine(VM_CAnswerMachine* machine) { m_pMachine = machine; }

    // Loads the folder trees (with their default folders when empty), makes
    // the views in frame and shows what the configuration's flags say.
    void VM_Create(QMainWindow* frame);
    // After the settings changed the columns or the stored sort: every
    // view sorted and filled again.
    void VM_RefreshAll();
    // Whether the toolbar's answer button shows the answering flag.
    void VM_RefreshAnswerState();

    // When the program ends with the empty-on-exit flag (0x10): every
    // record of "Deleted Messages" goes with its recording. True when done
    // or not asked for.
    bool VM_EmptyDeletedOnExit();
    // At exit: the notices still going out are cut short; their records
    // come back as posted messages.
    void VM_StopNotices();
    // The new-call and remote-delete messages.
    bool VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // What the window shows, for the commands and the tests.
    Page VM_GetPage() const { return m_page; }
    void VM_ShowPage(Page page);
    bool VM_ShowFolder(Page page, int folderId);
    int VM_GetShownFolder() const;
    VM_CFolderTreeView* VM_GetTreeView(Page page) const;
    VM_CEntryListView* VM_GetListView(Page page) const;
    VM_CTree& VM_GetTree(Page page) const;
    // The window brought forward at a call: the messages page, the call's
    // folder, its row alone selected. The row; -1 when the record is no
    // longer in that folder.
    int VM_ShowRecord(int folderId, int32_t recordId);
    // The same, then Open on the row with the message playing; false when
    // the record is no longer there.
    bool VM_PlayRecord(int folderId, int32_t recordId);
    VM_CCallLogModel& VM_GetCallLog() { return m_callLog; }
    VM_CAddrListModel& VM_GetAddrList() { return m_addrList; }
    QToolBar* VM_GetToolBar() const { return m_toolBar; }
    QAction* VM_GetAction(int command) const;
    QWidget* VM_GetTreePane() const;

private:
    void VM_LoadTrees();
    void VM_BuildCentral(QMainWindow* frame);
    void VM_BuildActions(QMainWindow* frame);
    void VM_BuildMenus(QMainWindow* frame);
    void VM_BuildToolBar(QMainWindow* frame);
    void VM_RegisterCommands();
    void VM_FillList(Page page);
    void VM_FillCallRow(int row);
    void VM_RefreshFolderState(int folderId);
    void VM_RefreshShown();
    void VM_OnFolderClicked(Page page, int folderId);
    void VM_OnFiled(const VM_SFiledCall& call);
    void VM_OnRemoteDeleted(int folderId, bool done);
    std::vector<int> VM_Selection() const;
    VM_ETreeKind VM_Kind() const;

    // The commands.
    int VM_CmdOpen();
    int VM_CmdOpenRecord(int row, bool play = false);
    int VM_CmdOpenAddress(int row);
    int VM_CmdSaveAs();
    int VM_CmdExit();
    int VM_CmdNewFolder();
    int VM_CmdRenameFolder();
    int VM_CmdDeleteFolder();
    int VM_CmdToggleStatusBar();
    int VM_CmdToggleToolBar();
    int VM_CmdToggleFolderTree();
    int VM_CmdSelectAll();
    int VM_CmdMoveOrCopy(bool copy);
    int VM_CmdDelete();
    int VM_CmdSort(int command);
    int VM_CmdFind();
    int VM_CmdRestore();
    int VM_CmdNewAddress();
    int VM_CmdAddCaller(bool block);
    int VM_CmdAnswer();
    int VM_CmdDrop(void* arg);
    bool VM_FileAddressEntry(VM_CAddrEntry* entry, int folderId);
    VM_SFolderCommands VM_FolderCommands() const;
    void VM_AfterTransfer(const VM_STransferResult& result, int targetFolderId);

    VM_CAppCfg& m_cfg;
    HWND m_hWnd;
    VM_CMediator& m_mediator;
    Hooks m_hooks;
    VM_CAnswerMachine* m_pMachine = nullptr;
    std::unique_ptr<VM_CCallMediator> m_calls;
    std::unique_ptr<VM_CTree> m_messageTree;
    std::unique_ptr<VM_CTree> m_addressTree;
    VM_CCallLogModel m_callLog;
    VM_CAddrListModel m_addrList;
    VM_CDragDropState m_drag;
    VM_SFindOptions m_findOptions;
    VM_CFindHistory m_findHistory;
    int m_nReadSortOrder = 0;
    Page m_page = Page::kMessages;
    QMainWindow* m_pFrame = nullptr;
    QTabBar* m_tabs = nullptr;
    QSplitter* m_splitter = nullptr;
    QStackedWidget* m_treeStack = nullptr;
    QStackedWidget* m_listStack = nullptr;
    VM_CFolderTreeView* m_trees[2] = {nullptr, nullptr};
    VM_CEntryListView* m_lists[2] = {nullptr, nullptr};
    QToolBar* m_toolBar = nullptr;
    QStatusBar* m_statusBar = nullptr;
    std::vector<std::pair<int, QAction*>> m_actions;
};

#include "app/views/main_views.h"

#include <QAction>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/frame/app_icons.h"
#include "app/views/command_table.h"
#include "app/views/entry_list_view.h"
#include "app/views/folder_tree_view.h"
#include "callflow/answer_machine.h"
#include "callflow/callflow_messages.h"
#include "shell/call_mediator.h"
#include "store/app_config.h"
#include "store/deleted_messages.h"
#include "store/folder_tree_model.h"
#include "store/tree_node.h"

namespace {

constexpr int kPageIndex[2] = {0, 1};

int Index(VM_CMainViews::Page page) { return kPageIndex[page == VM_CMainViews::Page::kMessages ? 0 : 1]; }

}  // namespace

VM_CMainViews::VM_CMainViews(VM_CAppCfg& cfg, VM_CMediator& mediator, HWND window, VM_CTollSaver* tollSaver)
    : m_cfg(cfg), m_hWnd(window), m_mediator(mediator), m_calls(std::make_unique<VM_CCallMediator>(&cfg, tollSaver, window)),
      m_callLog(cfg), m_addrList(cfg) {
    m_calls->VM_SetFiledListener([this](const VM_SFiledCall& call) { VM_OnFiled(call); });
    m_calls->VM_SetDeletedListener(
        [this](int folderId, int32_t /*recordId*/, bool done) { VM_OnRemoteDeleted(folderId, done); });
    VM_RegisterCommands();
}

VM_CMainViews::~VM_CMainViews() {
    m_calls->VM_SetShownList(nullptr);
    m_calls->VM_StopNotices();
}

VM_CTree& VM_CMainViews::VM_GetTree(Page page) const {
    return page == Page::kMessages ? *m_messageTree : *m_addressTree;
}
VM_CFolderTreeView* VM_CMainViews::VM_GetTreeView(Page page) const { return m_trees[Index(page)]; }
VM_CEntryListView* VM_CMainViews::VM_GetListView(Page page) const { return m_lists[Index(page)]; }
QWidget* VM_CMainViews::VM_GetTreePane() const { return m_treeStack; }
VM_ETreeKind VM_CMainViews::VM_Kind() const {
    return m_page == Page::kMessages ? VM_ETreeKind::kMessages : VM_ETreeKind::kAddresses;
}

QAction* VM_CMainViews::VM_GetAction(int command) const {
    for (const auto& [id, action] : m_actions)
        if (id == command) return action;
    return nullptr;
}

void VM_CMainViews::VM_LoadTrees() {
    for (Page page : {Page::kMessages, Page::kAddresses}) {
        const bool messages = page == Page::kMessages;
        std::unique_ptr<char[]> file(m_cfg.VM_GetTreeFileName(messages ? 1 : 2));
        auto tree = std::make_unique<VM_CTree>(new VM_CTreeItem, file.get());
        VM_AddDefaultFolders(*tree, messages ? VM_ETreeKind::kMessages : VM_ETreeKind::kAddresses, m_cfg);
        (messages ? m_messageTree : m_addressTree) = std::move(tree);
    }
    // The bold marks follow the list files, which may have changed while
    // the program did not run.
    for (const VM_STreeRow& row : VM_GetTreeRows(*m_messageTree))
        if (row.depth > 0) VM_SetFolderState(*m_messageTree, row.item->m_id,
                                             VM_GetFolderStateFromFile(m_cfg, row.item->m_id));
}

void VM_CMainViews::VM_Create(QMainWindow* frame) {
    m_pFrame = frame;
    VM_LoadTrees();
    VM_BuildCentral(frame);
    VM_BuildActions(frame);
    VM_BuildMenus(frame);
    VM_BuildToolBar(frame);
    m_statusBar = frame->statusBar();
    m_toolBar->setVisible(m_cfg.m_dwFlags & VM_FLAG_TOOLBAR);
    m_treeStack->setVisible(m_cfg.m_dwFlags & VM_FLAG_FOLDER_TREE);
    const bool messages = m_cfg.m_dwFlags & VM_FLAG_MESSAGE_PAGE;
    if (messages && (m_cfg.m_dwFlags & VM_FLAG_START_IN_INBOX)) VM_ShowFolder(Page::kMessages, m_cfg.m_idInbox);
    // Each page starts on a folder, so a switch never shows an empty pane.
    for (Page page : {Page::kMessages, Page::kAddresses})
        if (VM_GetTreeView(page)->currentItem() == nullptr) VM_ShowFolder(page, 0);
    VM_ShowPage(messages ? Page::kMessages : Page::kAddresses);
    VM_RefreshAnswerState();
    m_statusBar->showMessage("Ready");
}

void VM_CMainViews::VM_BuildCentral(QMainWindow* frame) {
    auto* central = new QWidget(frame);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabBar(central);
    m_tabs->addTab("Phone Calls");
    m_tabs->addTab("Address Book");
    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_treeStack = new QStackedWidget(m_splitter);
    m_listStack = new QStackedWidget(m_splitter);
    for (Page page : {Page::kMessages, Page::kAddresses}) {
        const VM_ETreeKind kind = page == Page::kMessages ? VM_ETreeKind::kMessages : VM_ETreeKind::kAddresses;
        auto* tree = new VM_CFolderTreeView(m_treeStack, kind, m_drag,
                                            VM_CDropVisitor(VM_CConcreteCmd(kCmdDrop, &m_mediator)));
        auto* list = new VM_CEntryListView(m_listStack, kind, m_drag);
        m_trees[Index(page)] = tree;
        m_lists[Index(page)] = list;
        m_treeStack->addWidget(tree);
        m_listStack->addWidget(list);
        tree->VM_Fill(VM_GetTree(page));
        connect(tree, &QTreeWidget::currentItemChanged, this, [this, page, tree](QTreeWidgetItem*, QTreeWidgetItem*) {
            VM_OnFolderClicked(page, tree->VM_GetSelectedFolder());
        });
        connect(list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem*, int) { VM_CmdOpen(); });
        list->header()->setSectionsClickable(true);
        connect(list->header(), &QHeaderView::sectionClicked, this, [this, page](int column) {
            if (page == Page::kMessages)
                m_callLog.VM_OnHeaderClick(column);
            else
                m_addrList.VM_OnHeaderClick(column);
            VM_FillList(page);
        });
    }
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({200, 600});
    layout->addWidget(m_tabs);
    layout->addWidget(m_splitter, 1);
    frame->setCentralWidget(central);
    connect(m_tabs, &QTabBar::currentChanged, this,
            [this](int index) { VM_ShowPage(index == 0 ? Page::kMessages : Page::kAddresses); });
}

void VM_CMainViews::VM_BuildActions(QMainWindow* frame) {
    for (const VM_SCommandInfo& info : VM_GetCommands()) {
        auto* action = new QAction(QString::fromUtf8(info.menuText), frame);
        action->setStatusTip(QString::fromUtf8(info.tooltip));
        action->setToolTip(QString::fromUtf8(info.tooltip));
        action->setCheckable(info.checkable);
        if (info.caption != nullptr) action->setIconText(QString::fromUtf8(info.caption));
        action->setIcon(VM_CommandIcon(info.id));
        if (info.shortcut != nullptr) action->setShortcut(QKeySequence(QString::fromUtf8(info.shortcut)));
        const int id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { m_mediator.VM_Execute(id, nullptr); });
        frame->addAction(action);  // keys work while the menus are hidden too
        m_actions.emplace_back(id, action);
    }
    VM_GetAction(kCmdToolBar)->setChecked(m_cfg.m_dwFlags & VM_FLAG_TOOLBAR);
    VM_GetAction(kCmdStatusBar)->setChecked(true);
    VM_GetAction(kCmdFolderTree)->setChecked(m_cfg.m_dwFlags & VM_FLAG_FOLDER_TREE);
}

void VM_CMainViews::VM_BuildMenus(QMainWindow* frame) {
    QMenu* sort = nullptr;
    for (VM_EMenu kind : {VM_EMenu::kFile, VM_EMenu::kEdit, VM_EMenu::kView, VM_EMenu::kFolder, VM_EMenu::kSetup,
                          VM_EMenu::kHelp}) {
        QMenu* menu = frame->menuBar()->addMenu(QString::fromUtf8(VM_GetMenuTitle(kind)));
        menu->setToolTipsVisible(true);
        if (kind == VM_EMenu::kView) sort = menu->addMenu(QString::fromUtf8(VM_GetMenuTitle(VM_EMenu::kSort)));
        for (const VM_SCommandInfo& info : VM_GetCommands()) {
            if (info.menu == kind) menu->addAction(VM_GetAction(info.id));
            if (kind == VM_EMenu::kView && info.menu == VM_EMenu::kSort) sort->addAction(VM_GetAction(info.id));
        }
    }
}

void VM_CMainViews::VM_BuildToolBar(QMainWindow* frame) {
    m_toolBar = frame->addToolBar("Tool Bar");
    m_toolBar->setObjectName("toolBar");
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (int id : VM_GetToolbarLayout()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        m_toolBar->addAction(VM_GetAction(id));
    }
}

void VM_CMainViews::VM_RefreshAnswerState() {
    if (QAction* answer = VM_GetAction(kCmdAnswer)) answer->setChecked(m_cfg.m_dwFlags & VM_FLAG_ANSWERING);
}

void VM_CMainViews::VM_ShowPage(Page page) {
    m_page = page;
    m_cfg.VM_SetFlag(page == Page::kMessages, VM_FLAG_MESSAGE_PAGE);
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(Index(page));
    }
    m_treeStack->setCurrentIndex(Index(page));
    m_listStack->setCurrentIndex(Index(page));
}

bool VM_CMainViews::VM_ShowFolder(Page page, int folderId) {
    // Selecting the folder's item opens its list through VM_OnFolderClicked.
    if (!VM_GetTreeView(page)->VM_SelectFolder(folderId)) return false;
    VM_OnFolderClicked(page, folderId);
    return true;
}

int VM_CMainViews::VM_GetShownFolder() const {
    return m_page == Page::kMessages ? m_callLog.VM_GetFolderId() : m_addrList.VM_GetFolderId();
}

void VM_CMainViews::VM_OnFolderClicked(Page page, int folderId) {
    if (folderId < 0) return;
    const bool opened = page == Page::kMessages ? m_callLog.VM_OpenFolder(folderId) : m_addrList.VM_OpenFolder(folderId);
    if (!opened) return;
    // A record for the folder on screen must join its list in memory: the
    // list saves over its file when it closes.
    m_calls->VM_SetShownList(m_callLog.VM_GetList());
    VM_FillList(page);
}

void VM_CMainViews::VM_FillCallRow(int row) {
    VM_CEntryListView* view = VM_GetListView(Page::kMessages);
    QTreeWidgetItem* item = view->topLevelItem(row);
    if (item == nullptr) return;
    QFont font = view->font();
    font.setBold(m_callLog.VM_IsRowBold(row));
    for (int column = 0; column < view->columnCount(); ++column) {
        item->setText(column, QString::fromStdString(m_callLog.VM_GetCellText(row, column)));
        item->setFont(column, font);
    }
}

void VM_CMainViews::VM_FillList(Page page) {
    VM_CEntryListView* view = VM_GetListView(page);
    const std::vector<int> selected = view->VM_GetSelectedRows();
    view->clear();
    QStringList titles;
    std::vector<int> widths;
    if (page == Page::kMessages) {
        for (const VM_SCallColumn& column : m_callLog.VM_GetColumns()) {
            titles << QString::fromUtf8(column.title);
            widths.push_back(column.width);
        }
    } else {
        for (const VM_SAddrColumn& column : VM_GetAddrListColumns()) {
            titles << QString::fromUtf8(column.title);
            widths.push_back(column.width);
        }
    }
    view->setHeaderLabels(titles);
    for (size_t i = 0; i < widths.size(); ++i) view->setColumnWidth(static_cast<int>(i), widths[i]);
    const int rows = page == Page::kMessages ? m_callLog.VM_GetRowCount() : m_addrList.VM_GetRowCount();
    for (int row = 0; row < rows; ++row) {
        auto* item = new QTreeWidgetItem(view);
        if (page == Page::kMessages) {
            VM_FillCallRow(row);
            continue;
        }
        for (int column = 0; column < titles.size(); ++column)
            item->setText(column, QString::fromStdString(m_addrList.VM_GetCellText(row, column)));
    }
    for (int row : selected)
        if (QTreeWidgetItem* item = view->topLevelItem(row)) item->setSelected(true);
    if (page == Page::kAddresses && m_statusBar != nullptr && m_addrList.VM_GetEmptyHint() != nullptr)
        m_statusBar->showMessage(QString::fromUtf8(m_addrList.VM_GetEmptyHint()));
}

void VM_CMainViews::VM_RefreshFolderState(int folderId) {
    const VM_CList* shown = m_callLog.VM_GetList();
    const int32_t state = shown != nullptr && shown->m_id == folderId ? VM_GetFolderState(*shown)
                                                                       : VM_GetFolderStateFromFile(m_cfg, folderId);
    VM_SetFolderState(*m_messageTree, folderId, state);
    VM_GetTreeView(Page::kMessages)->VM_SetFolderState(folderId, state);
}

void VM_CMainViews::VM_RefreshAll() {
    m_callLog.VM_ApplyStoredSort();
    m_addrList.VM_ApplyStoredSort();
    VM_RefreshShown();
}

void VM_CMainViews::VM_RefreshShown() {
    for (Page page : {Page::kMessages, Page::kAddresses}) {
        const QSignalBlocker block(VM_GetTreeView(page));
        VM_GetTreeView(page)->VM_Fill(VM_GetTree(page));
        VM_FillList(page);
    }
}

bool VM_CMainViews::VM_EmptyDeletedOnExit() {
    if (!(m_cfg.m_dwFlags & VM_FLAG_EMPTY_DELETED)) return true;
    if (!VM_EmptyDeletedMessages(m_cfg, m_callLog.VM_GetList())) return false;
    VM_RefreshFolderState(m_cfg.m_idDeleted);
    if (m_callLog.VM_GetFolderId() == m_cfg.m_idDeleted) VM_FillList(Page::kMessages);
    return true;
}

void VM_CMainViews::VM_StopNotices() { m_calls->VM_StopNotices(); }

bool VM_CMainViews::VM_OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return m_calls->VM_OnMessage(window, message, wParam, lParam, result);
}

void VM_CMainViews::VM_OnFiled(const VM_SFiledCall& call) {
    if (!call.filed) return;
    if (m_callLog.VM_GetFolderId() == call.folderId) VM_FillList(Page::kMessages);
    VM_RefreshFolderState(call.folderId);
    if (m_hooks.newCall) m_hooks.newCall(!call.recording.empty());
    if (m_hooks.callFiled) m_hooks.callFiled(call);
}

void VM_CMainViews::VM_OnRemoteDeleted(int folderId, bool done) {
    if (!done) return;
    VM_FillList(Page::kMessages);
    VM_RefreshFolderState(folderId);
    VM_RefreshFolderState(m_cfg.m_idDeleted);
}

std::vector<int> VM_CMainViews::VM_Selection() const { return VM_GetListView(m_page)->VM_GetSelectedRows(); }

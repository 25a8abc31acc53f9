// The main window's views on a program folder of their own, offscreen.
#include "app/views/main_views.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMainWindow>
#include <QToolBar>
#include <QToolButton>
#include <memory>
#include <string>

#include "app/views/command_table.h"
#include "app/views/entry_list_view.h"
#include "app/dialogs/find_dialog.h"
#include "app/dialogs/folder_choice_dialog.h"
#include "app/views/folder_tree_view.h"
#include "app/qt_test_app.h"
#include "callflow/answer_machine.h"
#include "callflow/callflow_messages.h"
#include "store/app_config.h"
#include "store/folder_tree_model.h"
#include "store/tree_node.h"
#include "support/temp_dir.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using Page = VM_CMainViews::Page;

namespace {

constexpr DWORD kShowAll = VM_FLAG_MESSAGE_PAGE | VM_FLAG_TOOLBAR | VM_FLAG_FOLDER_TREE | VM_FLAG_START_IN_INBOX |
                           VM_FLAG_CALLER_COLUMNS | VM_FLAG_SINGLE_MAILBOX;

class MainViews : public ::testing::Test {
protected:
    MainViews() : m_cfg(m_home.path().c_str()) {}

    void Create(DWORD flags = kShowAll) {
        m_cfg.m_dwFlags = flags;
        m_views = std::make_unique<VM_CMainViews>(m_cfg, m_mediator, nullptr, nullptr);
        m_views->VM_GetHooks().newCall = [this](bool hasMessage) { m_alerts.push_back(hasMessage); };
        m_views->VM_Create(&m_frame);
    }

    // A call record as the answer machine hands it over.
    VM_CCallInfo* Call(const std::string& name, bool withMessage = true, bool read = false) {
        auto* record = new VM_CCallInfo;
        record->VM_SetAttr(VM_CCallInfo::kAttrName, name.c_str());
        record->VM_SetAttr(VM_CCallInfo::kAttrNumber, ("555-" + name).c_str());
        record->VM_SetTime(2026, 12, 8, 10, 30, 0);
        if (withMessage) {
            const std::string wave = m_home.file(name + ".Wav");
            WriteFileBytes(wave, "RIFF" + name);
            record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.c_str());
            record->VM_SetLength(12);
        }
        if (read) record->VM_AddFlags(VM_CCallInfo::kFlagRead);
        return record;
    }

    void NewCall(int folderId, VM_CCallInfo* record) {
        LRESULT result = 0;
        ASSERT_TRUE(m_views->VM_OnMessage(nullptr, VM_MSG_NEW_CALL_RECORD, static_cast<WPARAM>(folderId),
                                          reinterpret_cast<LPARAM>(record), result));
    }

    // The names in a folder's list file, as a later run would read them.
    std::string NamesInFile(int folderId) {
        std::unique_ptr<char[]> path(m_cfg.VM_GetMessageListFileName(folderId));
        VM_CList list(&m_prototype, path.get(), 0);
        std::string names;
        for (int i = 0; i < list.VM_GetCount(); ++i) names += list.VM_GetAt(i)->VM_GetAttrText(2).value_or("-") + ";";
        return names;
    }

    std::string ShownNames() {
        VM_CEntryListView* view = m_views->VM_GetListView(m_views->VM_GetPage());
        std::string names;
        for (int i = 0; i < view->topLevelItemCount(); ++i) names += view->topLevelItem(i)->text(0).toStdString() + ";";
        return names;
    }

    VM_CEntryListView* CallList() { return m_views->VM_GetListView(Page::kMessages); }
    bool FolderBold(int folderId) {
        const auto* item = dynamic_cast<VM_CTreeItem*>(m_views->VM_GetTree(Page::kMessages).VM_Find(folderId));
        return item != nullptr && item->m_nState == VM_CTreeItem::kStateBold;
    }
    int Run(int command, void* arg = nullptr) { return m_mediator.VM_Execute(command, arg); }

    // The application before any widget.
    struct QtApp {
        QtApp() { VM_TestQtApp(); }
    } m_app;
    TempDir m_home;
    VM_CAppCfg m_cfg;
    VM_CCallInfo m_prototype;
    VM_CMediator m_mediator;
    QMainWindow m_frame;
    std::unique_ptr<VM_CMainViews> m_views;
    std::vector<bool> m_alerts;
};

}  // namespace

TEST_F(MainViews, CommandsWithoutTheirTargetDoNothing) {
    Create();
    EXPECT_EQ(Run(kCmdOpen), 0);      // nothing selected
    EXPECT_EQ(Run(kCmdSaveAs), 0);
    EXPECT_EQ(Run(kCmdMove), 0);
    EXPECT_EQ(Run(kCmdDelete), 0);
    EXPECT_EQ(Run(kCmdAddCaller), 0);
    EXPECT_EQ(Run(kCmdExit), 0);      // no main window to destroy
    EXPECT_EQ(Run(kCmdDrop, nullptr), 0);
    // Inbox may not be renamed or deleted.
    EXPECT_EQ(Run(kCmdRenameFolder), 0);
    EXPECT_EQ(Run(kCmdDeleteFolder), 0);
    // Answering without an answer machine stays off.
    EXPECT_EQ(Run(kCmdAnswer), 0);
    EXPECT_FALSE(m_cfg.m_dwFlags & VM_FLAG_ANSWERING);
    EXPECT_FALSE(m_views->VM_GetAction(kCmdAnswer)->isChecked());
}

TEST_F(MainViews, GoToInboxShowsTheMessagePageWithInboxSelected) {
    Create();
    EXPECT_EQ(m_views->VM_GetPage(), Page::kMessages);
    EXPECT_EQ(m_views->VM_GetTreeView(Page::kMessages)->VM_GetSelectedFolder(), m_cfg.m_idInbox);
    EXPECT_EQ(m_views->VM_GetShownFolder(), m_cfg.m_idInbox);
    EXPECT_TRUE(m_views->VM_GetToolBar()->isVisibleTo(&m_frame));
    EXPECT_EQ(CallList()->headerItem()->text(0).toStdString(), "Caller Name");
}

TEST_F(MainViews, FlagsHideToolbarAndTreeAndChooseTheAddressPage) {
    Create(VM_FLAG_CALLER_COLUMNS);
    EXPECT_FALSE(m_views->VM_GetToolBar()->isVisibleTo(&m_frame));
    EXPECT_FALSE(m_views->VM_GetTreePane()->isVisibleTo(&m_frame));
    EXPECT_EQ(m_views->VM_GetPage(), Page::kAddresses);
    VM_CEntryListView* list = m_views->VM_GetListView(Page::kAddresses);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(1).toStdString(), "Phone Number");
    EXPECT_EQ(list->columnWidth(0), 150);
    EXPECT_EQ(list->columnWidth(2), 200);
    // The default folders were made in both trees.
    EXPECT_NE(m_views->VM_GetTree(Page::kAddresses).VM_GetCount(), 0);
    EXPECT_EQ(Run(kCmdToolBar), 1);
    EXPECT_TRUE(m_views->VM_GetToolBar()->isVisibleTo(&m_frame));
    EXPECT_TRUE(m_cfg.m_dwFlags & VM_FLAG_TOOLBAR);
}

TEST_F(MainViews, ToolbarHoldsTheButtonsInOrderWithSeparators) {
    Create();
    std::string layout;
    for (QAction* action : m_views->VM_GetToolBar()->actions()) {
        if (action->isSeparator()) {
            layout += "|";
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(m_views->VM_GetToolBar()->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        layout += button->text().toStdString() + ",";
    }
    EXPECT_EQ(layout, "Add,|Open,Save As,|Move,Delete,|Find,Answer,|Help,About,");
    EXPECT_TRUE(m_views->VM_GetAction(kCmdAnswer)->isCheckable());
    EXPECT_EQ(m_views->VM_GetAction(kCmdMove)->statusTip().toStdString(),
              "Move currently selected entries to other folder.");
}

TEST_F(MainViews, NewCallForTheShownFolderAppearsBoldAndIsSaved) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    ASSERT_EQ(CallList()->topLevelItemCount(), 1);
    QTreeWidgetItem* row = CallList()->topLevelItem(0);
    EXPECT_EQ(row->text(0).toStdString(), "Ann");
    EXPECT_EQ(row->text(1).toStdString(), "555-Ann");
    EXPECT_EQ(row->text(2).toStdString(), "2026/12/08 10:30 AM");
    EXPECT_TRUE(row->font(0).bold());
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;");
    EXPECT_TRUE(FolderBold(m_cfg.m_idInbox));
    EXPECT_EQ(m_alerts, std::vector<bool>{true});
}

TEST_F(MainViews, NewCallForAnotherFolderGoesToItsFileAndLeavesTheViewAlone) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann", true, true));
    NewCall(m_cfg.m_idBulkCall, Call("Bob", false));
    EXPECT_EQ(ShownNames(), "Ann;");
    EXPECT_EQ(m_views->VM_GetShownFolder(), m_cfg.m_idInbox);
    EXPECT_EQ(NamesInFile(m_cfg.m_idBulkCall), "Bob;");
    EXPECT_TRUE(FolderBold(m_cfg.m_idBulkCall));
    EXPECT_FALSE(FolderBold(m_cfg.m_idInbox));  // Ann was read
    EXPECT_EQ(m_alerts, (std::vector<bool>{true, false}));
}

TEST_F(MainViews, MoveAndCopyChangeTheListFiles) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    NewCall(m_cfg.m_idInbox, Call("Bob"));
    int asked = 0;
    m_views->VM_GetHooks().chooseTarget = [&](bool forCopy, int current) {
        ++asked;
        EXPECT_EQ(current, m_cfg.m_idInbox);
        return forCopy ? m_cfg.m_idBulkCall : m_cfg.m_idBulkCall;
    };
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdCopy), 1);
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;Bob;");
    EXPECT_EQ(NamesInFile(m_cfg.m_idBulkCall), "Ann;");
    CallList()->VM_SelectOnly(1);
    EXPECT_EQ(Run(kCmdMove), 1);
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;");
    EXPECT_EQ(NamesInFile(m_cfg.m_idBulkCall), "Ann;Bob;");
    EXPECT_EQ(ShownNames(), "Ann;");
    EXPECT_EQ(asked, 2);
    // Cancelled: nothing moves.
    m_views->VM_GetHooks().chooseTarget = [](bool, int) { return -1; };
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdMove), 0);
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;");
}

TEST_F(MainViews, DeleteMovesToDeletedMessagesThenDeletesTheRecording) {
    Create();
    VM_CCallInfo* call = Call("Ann");
    const std::string wave = call->VM_GetWaveFile();
    NewCall(m_cfg.m_idInbox, call);
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdDelete), 1);
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "");
    EXPECT_EQ(NamesInFile(m_cfg.m_idDeleted), "Ann;");
    EXPECT_TRUE(FileExists(wave));  // moved, not deleted
    EXPECT_TRUE(FolderBold(m_cfg.m_idDeleted));
    ASSERT_TRUE(m_views->VM_ShowFolder(Page::kMessages, m_cfg.m_idDeleted));
    EXPECT_EQ(ShownNames(), "Ann;");
    const std::string moved = m_views->VM_GetCallLog().VM_GetRecord(0)->VM_GetWaveFile();
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdDelete), 1);
    EXPECT_EQ(NamesInFile(m_cfg.m_idDeleted), "");
    EXPECT_FALSE(FileExists(moved));
    EXPECT_FALSE(FolderBold(m_cfg.m_idDeleted));
}

TEST_F(MainViews, RemoteDeleteMovesTheShownEntryToDeletedMessages) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    NewCall(m_cfg.m_idInbox, Call("Bob"));
    const int32_t bob = m_views->VM_GetCallLog().VM_GetRecord(1)->m_id;
    LRESULT result = 0;
    ASSERT_TRUE(m_views->VM_OnMessage(nullptr, VM_MSG_REMOTE_DELETE, static_cast<WPARAM>(m_cfg.m_idInbox), bob, result));
    EXPECT_EQ(ShownNames(), "Ann;");
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;");
    EXPECT_EQ(NamesInFile(m_cfg.m_idDeleted), "Bob;");
    EXPECT_TRUE(FolderBold(m_cfg.m_idDeleted));
    // An identifier that is not there changes nothing.
    ASSERT_TRUE(m_views->VM_OnMessage(nullptr, VM_MSG_REMOTE_DELETE, static_cast<WPARAM>(m_cfg.m_idInbox), 999, result));
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;");
}

TEST_F(MainViews, OpeningAMessageMarksItReadEvenOnCancel) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    int opened = 0;
    m_views->VM_GetHooks().openRecord = [&](VM_CCallInfo& record, bool) {
        ++opened;
        EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrName), "Ann");
        return false;
    };
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdOpen), 1);
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(CallList()->topLevelItem(0)->font(0).bold());
    EXPECT_FALSE(FolderBold(m_cfg.m_idInbox));
    std::unique_ptr<char[]> path(m_cfg.VM_GetMessageListFileName(m_cfg.m_idInbox));
    VM_CList stored(&m_prototype, path.get(), 0);
    ASSERT_EQ(stored.VM_GetCount(), 1);
    EXPECT_TRUE(static_cast<VM_CCallInfo*>(stored.VM_GetAt(0))->VM_IsRead());
}

TEST_F(MainViews, SaveAsCopiesTheRecordingUnderTheChosenName) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    NewCall(m_cfg.m_idInbox, Call("Bob", false));
    const std::string source = m_views->VM_GetCallLog().VM_GetRecord(0)->VM_GetWaveFile();
    std::string proposed;
    const std::string target = m_home.file("saved.wav");
    WriteFileBytes(target, "old");
    m_views->VM_GetHooks().chooseSavePath = [&](const std::string& name) {
        proposed = name;
        return target;
    };
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdSaveAs), 1);
    EXPECT_EQ(proposed, source.substr(source.rfind('/') + 1));
    EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(source));  // overwritten
    CallList()->VM_SelectOnly(1);  // no recording
    EXPECT_EQ(Run(kCmdSaveAs), 0);
    // A folder that does not exist: the copy fails quietly.
    m_views->VM_GetHooks().chooseSavePath = [&](const std::string&) { return m_home.file("none/x.wav"); };
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdSaveAs), 0);
}

TEST_F(MainViews, SortByReadStateTogglesNewFirstAndLast) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann", false, true));
    NewCall(m_cfg.m_idInbox, Call("Bob", false));
    NewCall(m_cfg.m_idInbox, Call("Cy", false, true));
    NewCall(m_cfg.m_idInbox, Call("Di", false));
    EXPECT_EQ(Run(kCmdSortRead), 1);
    EXPECT_EQ(ShownNames(), "Bob;Di;Ann;Cy;");
    EXPECT_EQ(Run(kCmdSortRead), 1);
    EXPECT_EQ(ShownNames(), "Ann;Cy;Bob;Di;");
}

TEST_F(MainViews, FindSelectsTheNextMatchAndClearsWhenNoneIsLeft) {
    Create();
    for (const char* name : {"Ann", "Bob", "Annie"}) NewCall(m_cfg.m_idInbox, Call(name, false));
    EXPECT_EQ(Run(kCmdFind), 1);
    auto* dialog = m_frame.findChild<VM_CFindDialog*>("findDialog");
    ASSERT_NE(dialog, nullptr);
    dialog->VM_SetText("  ann ");
    dialog->VM_SetField(1);
    EXPECT_EQ(dialog->VM_FindNext(), 0);
    EXPECT_EQ(dialog->VM_FindNext(), 2);
    EXPECT_EQ(CallList()->VM_GetSelectedRows(), std::vector<int>{2});
    EXPECT_EQ(dialog->VM_FindNext(), -1);
    EXPECT_TRUE(CallList()->VM_GetSelectedRows().empty());
    EXPECT_FALSE(dialog->VM_GetStatus().isEmpty());
    dialog->VM_SetMatchCase(true);
    dialog->VM_SetDown(false);
    EXPECT_EQ(dialog->VM_FindNext(), -1);  // "ann" is in no name with that case
    EXPECT_EQ(Run(kCmdFind), 1);
    EXPECT_EQ(m_frame.findChildren<VM_CFindDialog*>().size(), 1);
    dialog->close();
}

TEST_F(MainViews, DropMovesTheSelectedEntriesToTheTargetFolder) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    NewCall(m_cfg.m_idInbox, Call("Bob"));
    CallList()->VM_SelectOnly(1);
    VM_SDropArgs drop{CallList(), VM_ETreeKind::kMessages, m_cfg.m_idBulkCall};
    EXPECT_EQ(VM_CConcreteCmd(kCmdDrop, &m_mediator).VM_Execute(&drop), 1);
    EXPECT_EQ(NamesInFile(m_cfg.m_idBulkCall), "Bob;");
    EXPECT_EQ(ShownNames(), "Ann;");
    // From elsewhere: only a refresh.
    VM_SDropArgs foreign{&m_frame, VM_ETreeKind::kMessages, m_cfg.m_idBulkCall};
    CallList()->VM_SelectOnly(0);
    EXPECT_EQ(Run(kCmdDrop, &foreign), 0);
    EXPECT_EQ(NamesInFile(m_cfg.m_idInbox), "Ann;");
}

TEST_F(MainViews, NewFolderIsRenamedInPlace) {
    Create();
    m_views->VM_ShowFolder(Page::kMessages, m_cfg.m_idInbox);
    EXPECT_EQ(Run(kCmdNewFolder), 1);
    const int folder = m_views->VM_GetTreeView(Page::kMessages)->VM_GetSelectedFolder();
    VM_CNode* node = m_views->VM_GetTree(Page::kMessages).VM_Find(folder);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->m_szName, "New Folder");
    EXPECT_EQ(node->m_idParent, m_cfg.m_idInbox);
    QTreeWidgetItem* item = m_views->VM_GetTreeView(Page::kMessages)->currentItem();
    item->setText(0, "");  // refused: the old name comes back
    EXPECT_EQ(item->text(0).toStdString(), "New Folder");
    item->setText(0, "Family");
    EXPECT_EQ(node->m_szName, "Family");
    EXPECT_EQ(Run(kCmdDeleteFolder), 1);
    EXPECT_EQ(m_views->VM_GetTree(Page::kMessages).VM_Find(folder), nullptr);
}

TEST(FolderChoiceDialog, CopyOffersNeitherTheRootNorDeletedMessages) {
    VM_TestQtApp();
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    VM_CTree tree(new VM_CTreeItem, nullptr);
    ASSERT_TRUE(VM_AddDefaultFolders(tree, VM_ETreeKind::kMessages, cfg));
    auto offer = [&](bool forCopy) {
        return [&cfg, forCopy](const VM_CNode* folder) {
            return VM_IsSelectableTarget(cfg, VM_ETreeKind::kMessages, folder, forCopy);
        };
    };
    VM_CFolderChoiceDialog copy(nullptr, tree, "Copy", "Please Select a Folder:", offer(true), 0);
    EXPECT_EQ(copy.windowTitle().toStdString(), "Copy");
    EXPECT_FALSE(copy.VM_IsOffered(0));
    EXPECT_FALSE(copy.VM_IsOffered(cfg.m_idDeleted));
    EXPECT_FALSE(copy.VM_IsOkEnabled());
    EXPECT_EQ(copy.VM_GetChosenFolder(), -1);
    EXPECT_FALSE(copy.VM_Choose(cfg.m_idDeleted));
    EXPECT_TRUE(copy.VM_Choose(cfg.m_idBulkCall));
    EXPECT_TRUE(copy.VM_IsOkEnabled());
    EXPECT_EQ(copy.VM_GetChosenFolder(), cfg.m_idBulkCall);
    VM_CFolderChoiceDialog move(nullptr, tree, "Move", "Please Select a Folder:", offer(false), cfg.m_idInbox);
    EXPECT_FALSE(move.VM_IsOffered(0));
    EXPECT_TRUE(move.VM_IsOffered(cfg.m_idDeleted));
    EXPECT_EQ(move.VM_GetChosenFolder(), cfg.m_idInbox);
}

TEST_F(MainViews, BlockCallerFilesABlockingEntryAfterBackAndCancelPaths) {
    Create();
    NewCall(m_cfg.m_idInbox, Call("Ann"));
    CallList()->VM_SelectOnly(0);
    int edits = 0;
    m_views->VM_GetHooks().editAddress = [&](VM_CAddrEntry& entry, int, const char* title) {
        ++edits;
        EXPECT_STREQ(title, "New");
        EXPECT_STREQ(entry.VM_GetAttr(VM_CAddrEntry::kAttrName), "Ann");
        EXPECT_STREQ(entry.VM_GetAttr(VM_CAddrEntry::kAttrOffice), "555-Ann");
        return true;
    };
    // Cancelled in the folder dialog: nothing is filed.
    m_views->VM_GetHooks().chooseAddressFolder = [](int) { return -1; };
    EXPECT_EQ(Run(kCmdBlockCaller), 0);
    // "<< Back" once, then a folder that is not on screen.
    const int friends = m_views->VM_GetTree(Page::kAddresses).VM_GetChildren(
        m_views->VM_GetTree(Page::kAddresses).VM_Find(0))[0]->m_id;
    int asked = 0;
    m_views->VM_GetHooks().chooseAddressFolder = [&](int) { return ++asked == 1 ? -2 : friends; };
    edits = 0;
    EXPECT_EQ(Run(kCmdBlockCaller), 1);
    EXPECT_EQ(edits, 2);
    std::unique_ptr<char[]> path(m_cfg.VM_GetAddressListFileName(friends));
    VM_CAddrEntry prototype;
    VM_CList stored(&prototype, path.get(), 0);
    ASSERT_EQ(stored.VM_GetCount(), 1);
    EXPECT_EQ(stored.VM_GetAt(0)->VM_GetFlags(), VM_CAddrEntry::kFlagBlockTone | VM_CAddrEntry::kFlagBulkCall);
}

TEST_F(MainViews, NewAddressEntryJoinsTheShownAddressList) {
    Create(VM_FLAG_FOLDER_TREE);
    ASSERT_EQ(m_views->VM_GetPage(), Page::kAddresses);
    m_views->VM_GetHooks().editAddress = [](VM_CAddrEntry& entry, int, const char*) {
        entry.VM_SetAttr(VM_CAddrEntry::kAttrName, "Zed");
        return true;
    };
    EXPECT_EQ(Run(kCmdNewAddress), 1);
    EXPECT_EQ(ShownNames(), "Zed;");
    EXPECT_EQ(m_views->VM_GetListView(Page::kAddresses)->VM_GetSelectedRows(), std::vector<int>{0});
    // Add caller belongs to the call log; Copy to messages only.
    EXPECT_EQ(Run(kCmdAddCaller), 0);
    EXPECT_EQ(Run(kCmdCopy), 0);
    // Cancelled: no entry.
    m_views->VM_GetHooks().editAddress = [](VM_CAddrEntry&, int, const char*) { return false; };
    EXPECT_EQ(Run(kCmdNewAddress), 0);
    EXPECT_EQ(ShownNames(), "Zed;");
}

TEST_F(MainViews, DeletedMessagesAreEmptiedOnExitOnlyWhenAsked) {
    Create();
    NewCall(m_cfg.m_idDeleted, Call("Ann"));
    EXPECT_TRUE(m_views->VM_EmptyDeletedOnExit());
    EXPECT_EQ(NamesInFile(m_cfg.m_idDeleted), "Ann;");  // the flag is off
    m_cfg.m_dwFlags |= VM_FLAG_EMPTY_DELETED;
    ASSERT_TRUE(m_views->VM_ShowFolder(Page::kMessages, m_cfg.m_idDeleted));
    const std::string recording = m_views->VM_GetCallLog().VM_GetRecord(0)->VM_GetWaveFile();
    EXPECT_TRUE(m_views->VM_EmptyDeletedOnExit());
    EXPECT_EQ(ShownNames(), "");
    EXPECT_EQ(NamesInFile(m_cfg.m_idDeleted), "");
    EXPECT_FALSE(FileExists(recording));
    EXPECT_FALSE(FolderBold(m_cfg.m_idDeleted));
}

TEST(DragVisitors, NeitherTheShownFolderNorTheMessageRootTakesADrop) {
    VM_TestQtApp();
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    VM_CTree tree(new VM_CTreeItem, nullptr);
    ASSERT_TRUE(VM_AddDefaultFolders(tree, VM_ETreeKind::kMessages, cfg));
    VM_CDragDropState state;
    QWidget list;
    EXPECT_FALSE(VM_CDragVisitor().VM_Visit(state, &list, VM_ETreeKind::kMessages, 0));  // nothing selected
    EXPECT_FALSE(state.VM_IsActive());
    ASSERT_TRUE(VM_CDragVisitor().VM_Visit(state, &list, VM_ETreeKind::kMessages, 2));
    const VM_CDragMoveVisitor over;
    EXPECT_FALSE(over.VM_Visit(state, VM_ETreeKind::kMessages, tree.VM_Find(0), cfg.m_idInbox));
    EXPECT_FALSE(over.VM_Visit(state, VM_ETreeKind::kMessages, tree.VM_Find(cfg.m_idInbox), cfg.m_idInbox));
    EXPECT_FALSE(over.VM_Visit(state, VM_ETreeKind::kAddresses, tree.VM_Find(cfg.m_idBulkCall), cfg.m_idInbox));
    EXPECT_TRUE(over.VM_Visit(state, VM_ETreeKind::kMessages, tree.VM_Find(cfg.m_idBulkCall), cfg.m_idInbox));
    EXPECT_EQ(state.VM_GetTarget(), cfg.m_idBulkCall);
    VM_CMediator mediator;
    VM_SDropArgs seen;
    mediator.VM_Register(kCmdDrop, [&](void* arg) {
        seen = *static_cast<VM_SDropArgs*>(arg);
        return 1;
    });
    const VM_CDropVisitor drop{VM_CConcreteCmd(kCmdDrop, &mediator)};
    // Released over the root: no command, and the drag is over all the same.
    EXPECT_EQ(drop.VM_Visit(state, VM_ETreeKind::kMessages, tree.VM_Find(0), cfg.m_idInbox), 0);
    EXPECT_FALSE(state.VM_IsActive());
    ASSERT_TRUE(VM_CDragVisitor().VM_Visit(state, &list, VM_ETreeKind::kMessages, 1));
    EXPECT_EQ(drop.VM_Visit(state, VM_ETreeKind::kMessages, tree.VM_Find(cfg.m_idBulkCall), cfg.m_idInbox), 1);
    EXPECT_EQ(seen.source, &list);
    EXPECT_EQ(seen.targetFolderId, cfg.m_idBulkCall);
    EXPECT_FALSE(state.VM_IsActive());
}

TEST_F(MainViews, SortCommandsReverseOnRepeatAndAreRemembered) {
    Create();
    for (const char* name : {"Bob", "Ann", "Cy"}) NewCall(m_cfg.m_idInbox, Call(name, false));
    // The first-run sort is by name, ascending: the command reverses it.
    EXPECT_EQ(Run(kCmdSortName), 1);
    EXPECT_EQ(ShownNames(), "Cy;Bob;Ann;");
    VM_CAppCfg stored(m_home.path().c_str());
    EXPECT_EQ(stored.m_nCallSortColumn, 0);
    EXPECT_EQ(stored.m_nCallSortOrder, kSortDescending);
    // Another column keeps the direction; the same column again reverses it.
    EXPECT_EQ(Run(kCmdSortTime), 1);
    EXPECT_EQ(Run(kCmdSortName), 1);
    EXPECT_EQ(ShownNames(), "Cy;Bob;Ann;");
    EXPECT_EQ(Run(kCmdSortName), 1);
    EXPECT_EQ(ShownNames(), "Ann;Bob;Cy;");
    // No mailbox column while there is one mailbox: nothing to sort by.
    EXPECT_EQ(Run(kCmdSortMailbox), 1);
    EXPECT_EQ(ShownNames(), "Ann;Bob;Cy;");
}

#include "store/folder_tree_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/app_config.h"
#include "support/temp_dir.h"

using testsupport::TempDir;

namespace {

std::string Rows(const VM_CTree& tree) {
    std::string s;
    for (const VM_STreeRow& row : VM_GetTreeRows(tree)) s += std::string(static_cast<size_t>(row.depth), '>') + row.item->m_szName + ";";
    return s;
}

}  // namespace

TEST(FolderTreeModel, DefaultFoldersGiveTheConfigurationTheirIdentifiers) {
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    cfg.m_idInbox = cfg.m_idDeleted = cfg.m_idBulkCall = 9;
    std::unique_ptr<char[]> path(cfg.VM_GetTreeFileName(1));
    {
        VM_CTree tree(new VM_CTreeItem, path.get());
        ASSERT_TRUE(VM_AddDefaultFolders(tree, VM_ETreeKind::kMessages, cfg));
        EXPECT_FALSE(VM_AddDefaultFolders(tree, VM_ETreeKind::kMessages, cfg));
    }
    EXPECT_EQ(cfg.m_idInbox, 1);
    EXPECT_EQ(cfg.m_idDeleted, 2);
    EXPECT_EQ(cfg.m_idBulkCall, 3);
    VM_CTree reread(new VM_CTreeItem, path.get());
    EXPECT_EQ(Rows(reread), "Phone Calls;>Inbox;>Deleted Messages;>Bulk Call;");
    auto* bulk = static_cast<VM_CTreeItem*>(reread.VM_Find(3));
    EXPECT_EQ(bulk->m_nImage, 3);
    EXPECT_EQ(bulk->m_nSelImage, 4);

    VM_CTree addresses(new VM_CTreeItem, nullptr);
    ASSERT_TRUE(VM_AddDefaultFolders(addresses, VM_ETreeKind::kAddresses, cfg));
    EXPECT_EQ(Rows(addresses), "Address Book;>My Friends;>My Relatives;>My Colleagues;>My Business Partners;");
    EXPECT_EQ(cfg.m_idInbox, 1);
}

TEST(FolderTreeModel, NewRenameAndDeleteFolder) {
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    VM_CTree tree(new VM_CTreeItem, nullptr);
    VM_AddDefaultFolders(tree, VM_ETreeKind::kMessages, cfg);
    VM_CTreeItem* made = VM_NewFolder(tree, tree.VM_Find(1));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->m_id, 4);
    EXPECT_EQ(made->m_szName, "New Folder");
    EXPECT_FALSE(VM_RenameFolder(tree, made, ""));
    EXPECT_EQ(made->m_szName, "New Folder");
    EXPECT_TRUE(VM_RenameFolder(tree, made, "Work"));
    EXPECT_EQ(Rows(tree), "Phone Calls;>Inbox;>>Work;>Deleted Messages;>Bulk Call;");
    EXPECT_FALSE(VM_DeleteFolder(tree, tree.VM_Find(1)));  // has a subfolder
    EXPECT_TRUE(VM_DeleteFolder(tree, made));
    EXPECT_EQ(VM_NewFolder(tree, tree.VM_Find(0))->m_id, 4);

    while (tree.VM_GetCount() < VM_CTree::kMaxNodes) ASSERT_NE(VM_NewFolder(tree, tree.VM_Find(0)), nullptr);
    EXPECT_EQ(VM_NewFolder(tree, tree.VM_Find(0)), nullptr);
}

TEST(FolderTreeModel, MoveCopyAndDropTargets) {
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    VM_CTree tree(new VM_CTreeItem, nullptr);
    VM_AddDefaultFolders(tree, VM_ETreeKind::kMessages, cfg);
    VM_CNode* root = tree.VM_Find(0);
    VM_CNode* deleted = tree.VM_Find(cfg.m_idDeleted);
    EXPECT_FALSE(VM_IsSelectableTarget(cfg, VM_ETreeKind::kMessages, root, false));
    EXPECT_TRUE(VM_IsSelectableTarget(cfg, VM_ETreeKind::kMessages, deleted, false));
    EXPECT_FALSE(VM_IsSelectableTarget(cfg, VM_ETreeKind::kMessages, deleted, true));
    EXPECT_TRUE(VM_IsSelectableTarget(cfg, VM_ETreeKind::kAddresses, root, false));
    EXPECT_FALSE(VM_IsDropTarget(VM_ETreeKind::kMessages, root, 1));
    EXPECT_FALSE(VM_IsDropTarget(VM_ETreeKind::kMessages, tree.VM_Find(1), 1));
    EXPECT_TRUE(VM_IsDropTarget(VM_ETreeKind::kMessages, deleted, 1));
    EXPECT_TRUE(VM_IsDropTarget(VM_ETreeKind::kAddresses, root, 1));
    EXPECT_FALSE(VM_IsDropTarget(VM_ETreeKind::kAddresses, root, 0));
}

TEST(FolderTreeModel, RowsOfADamagedTreeListEachFolderOnce) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    auto* root = new VM_CTreeItem("root", 0, 0);
    tree.VM_Insert(nullptr, root);
    auto* a = new VM_CTreeItem("a", 3, 4);
    tree.VM_Insert(root, a);
    a->m_idFirstChild = 0;  // the root named as its own grandchild
    EXPECT_EQ(Rows(tree), "root;>a;");
}

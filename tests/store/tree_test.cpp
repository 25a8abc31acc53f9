#include "store/tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/stored_bytes.h"
#include "support/temp_dir.h"

using storetest::Counted;
using storetest::Int32;
using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

VM_CTreeItem* Folder(const char* name, int image = 3, int selImage = 4) {
    return new VM_CTreeItem(name, image, selImage);
}

// The default message tree, as the main window creates it.
void AddMessageDefaults(VM_CTree& tree) {
    VM_CNode* root = Folder("Phone Calls", 0, 0);
    ASSERT_TRUE(tree.VM_Insert(nullptr, root));
    ASSERT_TRUE(tree.VM_Insert(root, Folder("Inbox", 1, 1)));
    ASSERT_TRUE(tree.VM_Insert(root, Folder("Deleted Messages", 2, 2)));
    ASSERT_TRUE(tree.VM_Insert(root, Folder("Bulk Call", 3, 4)));
}

std::string ChildNames(const VM_CTree& tree, int32_t parentId) {
    std::string names;
    for (VM_CNode* child : tree.VM_GetChildren(tree.VM_Find(parentId))) names += child->m_szName + ";";
    return names;
}

std::string NodeBytes(int id, int parent, int next, int child, const std::string& name, int state, int sel,
                      int image) {
    return Int32(id) + Int32(parent) + Int32(next) + Int32(child) + Counted(name) + Int32(state) + Int32(sel) +
           Int32(image);
}

}  // namespace

TEST(TreeFile, SavesTheStoredLayout) {
    TempDir dir;
    std::string path = dir.file("QvTV.Cfg");
    {
        VM_CTree tree(new VM_CTreeItem, path.c_str());
        AddMessageDefaults(tree);
        static_cast<VM_CTreeItem*>(tree.VM_Find(1))->m_nState = VM_CTreeItem::kStateBold;
        ASSERT_TRUE(tree.VM_Save());
    }
    std::string expected = Int32(4) + NodeBytes(0, -1, -1, 1, "Phone Calls", 1, 0, 0) +
                           NodeBytes(1, 0, 2, -1, "Inbox", 2, 1, 1) +
                           NodeBytes(2, 0, 3, -1, "Deleted Messages", 1, 2, 2) +
                           NodeBytes(3, 0, -1, -1, "Bulk Call", 1, 4, 3);
    EXPECT_EQ(ReadFileBytes(path), expected);

    VM_CTree reread(new VM_CTreeItem, path.c_str());
    EXPECT_FALSE(reread.VM_IsDamaged());
    EXPECT_EQ(reread.VM_SaveBytes(), expected);
    EXPECT_EQ(ChildNames(reread, 0), "Inbox;Deleted Messages;Bulk Call;");
}

TEST(TreeFile, AnEmptiedTreeDeletesItsFileAndACopyNeverSaves) {
    TempDir dir;
    std::string path = dir.file("QvTA.Cfg");
    VM_CTree tree(new VM_CTreeItem, path.c_str());
    ASSERT_TRUE(tree.VM_Insert(nullptr, Folder("Address Book")));
    ASSERT_TRUE(tree.VM_Save());
    {
        VM_CTree copy(tree);
        EXPECT_EQ(copy.VM_GetFile(), nullptr);
        EXPECT_TRUE(copy.VM_Insert(copy.VM_Find(0), Folder("My Friends")));
        EXPECT_EQ(copy.VM_GetCount(), 2);
    }
    EXPECT_EQ(tree.VM_GetCount(), 1);
    ASSERT_TRUE(tree.VM_RemoveNode(tree.VM_Find(0)));
    ASSERT_TRUE(tree.VM_Save());
    EXPECT_FALSE(FileExists(path));
}

TEST(TreeIds, AreTheSmallestFreeAndReusedAfterRemoval) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    AddMessageDefaults(tree);
    for (int32_t id = 0; id < 4; ++id) ASSERT_NE(tree.VM_Find(id), nullptr);
    VM_CNode* inbox = tree.VM_Find(1);
    VM_CNode* made = Folder("New Folder");
    ASSERT_TRUE(tree.VM_Insert(inbox, made));
    EXPECT_EQ(made->m_id, 4);
    EXPECT_EQ(made->m_idParent, 1);
    ASSERT_TRUE(tree.VM_RemoveNode(made));
    VM_CNode* again = Folder("New Folder");
    ASSERT_TRUE(tree.VM_Insert(tree.VM_Find(0), again));
    EXPECT_EQ(again->m_id, 4);
    // A second root is refused while node 0 exists.
    VM_CTreeItem second("Root", 0, 0);
    EXPECT_FALSE(tree.VM_Insert(nullptr, &second));
}

TEST(TreeIds, The400thNodeIsRefused) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    ASSERT_TRUE(tree.VM_Insert(nullptr, Folder("root")));
    for (int i = 1; i < VM_CTree::kMaxNodes; ++i) ASSERT_TRUE(tree.VM_Insert(tree.VM_Find(0), Folder("f")));
    EXPECT_EQ(tree.VM_GetCount(), 399);
    VM_CTreeItem extra("one too many", 3, 4);
    EXPECT_FALSE(tree.VM_Insert(tree.VM_Find(0), &extra));
    EXPECT_EQ(extra.m_id, -1);
    EXPECT_EQ(tree.VM_GetChildren(tree.VM_Find(0)).size(), 398u);
}

TEST(TreeRemove, LeavesNoDanglingSiblingLinkAndMovesTheLastNode) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    AddMessageDefaults(tree);
    VM_CNode* root = tree.VM_Find(0);
    ASSERT_TRUE(tree.VM_Insert(root, Folder("A")));  // 4
    ASSERT_TRUE(tree.VM_Insert(root, Folder("B")));  // 5

    // Middle child: the previous sibling takes its next.
    ASSERT_TRUE(tree.VM_RemoveNode(tree.VM_Find(2)));
    EXPECT_EQ(tree.VM_Find(1)->m_idNext, 3);
    EXPECT_EQ(ChildNames(tree, 0), "Inbox;Bulk Call;A;B;");
    // The table's last node (B) took the removed node's place.
    EXPECT_EQ(tree.VM_GetAt(2)->m_szName, "B");
    EXPECT_EQ(tree.VM_GetCount(), 5);

    // First child: the parent's link moves on.
    ASSERT_TRUE(tree.VM_RemoveNode(tree.VM_Find(1)));
    EXPECT_EQ(root->m_idFirstChild, 3);
    // Last child: the previous sibling ends the chain.
    ASSERT_TRUE(tree.VM_RemoveNode(tree.VM_Find(5)));
    EXPECT_EQ(tree.VM_Find(4)->m_idNext, -1);
    EXPECT_EQ(ChildNames(tree, 0), "Bulk Call;A;");
    for (int i = 0; i < tree.VM_GetCount(); ++i) {
        VM_CNode* n = tree.VM_GetAt(i);
        for (int32_t link : {n->m_idNext, n->m_idFirstChild, n->m_idParent})
            EXPECT_TRUE(link == -1 || tree.VM_Find(link) != nullptr) << n->m_szName;
    }
}

TEST(TreeRemove, RefusesAFolderWithSubfoldersOrOutsideTheTree) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    AddMessageDefaults(tree);
    VM_CNode* inbox = tree.VM_Find(1);
    ASSERT_TRUE(tree.VM_Insert(inbox, Folder("Sub")));
    EXPECT_FALSE(tree.VM_RemoveNode(inbox));
    VM_CTreeItem stranger("x", 3, 4);
    EXPECT_FALSE(tree.VM_RemoveNode(&stranger));
    EXPECT_EQ(tree.VM_GetCount(), 5);
}

TEST(TreeDamage, KeepsWhatCanBeReadAndIsSetAsideNeverSavedOver) {
    TempDir dir;
    std::string path = dir.file("QvTV.Cfg");
    std::string root = NodeBytes(0, -1, -1, 1, "Phone Calls", 1, 0, 0);
    const std::pair<std::string, int> damaged[] = {
        {Int32(3) + root + NodeBytes(1, 0, -1, -1, "Inbox", 1, 1, 1), 2},                   // count too high
        {Int32(2) + root + Int32(1) + Int32(0) + Int32(-1) + Int32(-1) + Int32(-5), 1},     // negative name length
        {Int32(2) + root + Int32(1) + Int32(0) + Int32(-1) + Int32(-1) + Int32(400) + "In", 1},  // name past end
        {Int32(2) + root + NodeBytes(0, -1, -1, -1, "Twin", 1, 0, 0), 1},                   // identifier used twice
        {Int32(2) + root + NodeBytes(400, 0, -1, -1, "Far", 1, 0, 0), 1},                   // identifier out of range
        {Int32(1) + root + "x", 1},                                                         // bytes after the nodes
        {Int32(-1), 0},
    };
    for (const auto& [bytes, readable] : damaged) {
        WriteFileBytes(path, bytes);
        std::filesystem::remove(path + ".damaged");
        {
            VM_CTree tree(new VM_CTreeItem, path.c_str());
            EXPECT_TRUE(tree.VM_IsDamaged());
            EXPECT_EQ(tree.VM_GetCount(), readable);
            VM_CNode* top = tree.VM_Find(0);
            if (top != nullptr) {
                EXPECT_EQ(top->m_szName, "Phone Calls");
                tree.VM_Insert(top, Folder("New Folder"));
            }
            EXPECT_TRUE(tree.VM_Save() || readable == 0);
        }
        EXPECT_EQ(ReadFileBytes(path + ".damaged"), bytes) << "set aside whole, never saved over";
        VM_CTree reread(new VM_CTreeItem, path.c_str());
        EXPECT_FALSE(reread.VM_IsDamaged());
        EXPECT_EQ(reread.VM_GetCount(), readable == 0 ? 0 : readable + 1);
    }
}

TEST(TreeDamage, CircularLinksNeitherHangNorRepeat) {
    // Two children naming each other as next sibling, and a parent naming
    // itself as its first child.
    std::string bytes = Int32(3) + NodeBytes(0, -1, -1, 1, "root", 1, 0, 0) + NodeBytes(1, 0, 2, -1, "a", 1, 3, 4) +
                        NodeBytes(2, 0, 1, 2, "b", 1, 3, 4);
    VM_CTree tree(new VM_CTreeItem, nullptr);
    ASSERT_TRUE(tree.VM_LoadBytes(bytes));
    EXPECT_EQ(ChildNames(tree, 0), "a;b;");
    EXPECT_EQ(ChildNames(tree, 2), "b;a;");
    // Appending under the root cuts the cycle at the last child reached.
    VM_CNode* added = Folder("c");
    ASSERT_TRUE(tree.VM_Insert(tree.VM_Find(0), added));
    EXPECT_EQ(ChildNames(tree, 0), "a;b;c;");
    ASSERT_TRUE(tree.VM_RemoveNode(tree.VM_Find(1)));
    EXPECT_EQ(ChildNames(tree, 0), "b;c;");
}

TEST(TreeLoad, MoreThan399NodesIsDamageAndStopsThere) {
    std::string bytes = Int32(400);
    for (int i = 0; i < 400; ++i) bytes += NodeBytes(i, i == 0 ? -1 : 0, -1, -1, "n", 1, 3, 4);
    VM_CTree tree(new VM_CTreeItem, nullptr);
    EXPECT_FALSE(tree.VM_LoadBytes(bytes));
    EXPECT_EQ(tree.VM_GetCount(), 399);
    VM_CTreeItem extra("x", 3, 4);
    EXPECT_FALSE(tree.VM_Insert(tree.VM_Find(0), &extra));
}

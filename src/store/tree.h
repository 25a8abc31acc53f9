// A folder tree: up to 399 nodes in a table of 400 places used from the
// front, linked by identifiers. The message folders and the address-book
// folders are one tree each, each with its own file.
//
// File layout (little-endian): int32 node count, then every node in table
// order as its VM_Write stores it.
//
// Loading trusts nothing in the file: at most 399 nodes with unique
// identifiers 0..399 are taken, and the links are followed visiting each
// node once, so a damaged file can neither crash nor hang the program. A file
// that exists but cannot be read whole keeps what was read, and the tree
// forgets its path so that it never saves over that file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/tree_node.h"

class VM_CTree {
public:
    static constexpr int kMaxNodes = 399;
    static constexpr int kMaxId = 399;

    // Takes ownership of the prototype, whose clones become the loaded nodes.
    // With a file the tree loads it at once.
    VM_CTree(VM_CNode* prototype, const char* file);
    // Every node cloned; the copy has no file and never saves.
    VM_CTree(const VM_CTree& other);
    VM_CTree& operator=(const VM_CTree&) = delete;
    // A tree with a file saves itself when it changed since its last save.
    virtual ~VM_CTree();

    // Without a parent inserts the root (identifier 0), allowed only when
    // there is no node 0. Otherwise the node gets the smallest free
    // identifier and becomes the parent's last child. Takes ownership only
    // when it succeeds; fails when the tree holds 399 nodes or the parent is
    // not in the tree.
    virtual bool VM_Insert(VM_CNode* parent, VM_CNode* node);
    // Removes and destroys a node of the tree that has no children. Every
    // link to it takes its next sibling instead; the table's last node moves
    // into its place.
    virtual bool VM_RemoveNode(VM_CNode* node);
    virtual void VM_Clear();

    VM_CNode* VM_Find(int32_t id) const;
    int VM_GetCount() const { return m_nCount; }
    // The node at a table position, or null.
    VM_CNode* VM_GetAt(int index) const;
    bool VM_Contains(const VM_CNode* node) const;
    // The children of a node in their sibling order, each at most once.
    std::vector<VM_CNode*> VM_GetChildren(const VM_CNode* parent) const;

    // True when the file was read whole or does not exist.
    bool VM_Load();
    // True when the file now holds the tree (an empty tree deletes it).
    bool VM_Save();
    bool VM_LoadBytes(const std::string& bytes);
    std::string VM_SaveBytes() const;

    // For changes made to nodes directly (a rename, a bold state).
    void VM_MarkChanged() { m_bChanged = true; }
    bool VM_HasChanged() const { return m_bChanged; }
    const char* VM_GetFile() const { return m_szFile ? m_szFile->c_str() : nullptr; }
    bool VM_IsDamaged() const { return m_bDamaged; }

protected:
    int m_nCount = 0;

private:
    int VM_IndexOf(const VM_CNode* node) const;
    int32_t VM_FreeId() const;
    void VM_LinkAsLastChild(VM_CNode* parent, VM_CNode* node);
    void VM_MarkDamaged(const char* why);

    std::array<VM_CNode*, kMaxNodes + 1> m_nodes{};
    std::unique_ptr<VM_CNode> m_prototype;
    std::optional<std::string> m_szFile;
    bool m_bChanged = false;
    bool m_bDamaged = false;
};

// A folder of a folder tree: its identifier, its links to parent, next
// sibling and first child (identifiers, -1 for none) and its name; the tree
// item adds the bold state and the image indexes of the tree view.
#pragma once

#include <cstdint>
#include <string>

#include "store/byte_stream.h"

class VM_CNode {
public:
    VM_CNode() = default;
    virtual ~VM_CNode() = default;
    VM_CNode& operator=(const VM_CNode&) = delete;

    virtual VM_CNode* VM_Clone() const;
    virtual void VM_Write(VM_CByteWriter& out) const;
    // False when the node is cut short or has an impossible name length.
    virtual bool VM_Read(VM_CByteReader& in);

    int32_t m_id = -1;            // 0..399 in a tree; the root is 0
    int32_t m_idParent = -1;
    int32_t m_idNext = -1;
    int32_t m_idFirstChild = -1;
    std::string m_szName;         // empty: no name

protected:
    VM_CNode(const VM_CNode&) = default;
};

class VM_CTreeItem : public VM_CNode {
public:
    static constexpr int32_t kStateNormal = 1;
    static constexpr int32_t kStateBold = 2;  // the folder holds unread messages

    VM_CTreeItem() = default;
    VM_CTreeItem(const char* name, int32_t image, int32_t selImage);

    VM_CNode* VM_Clone() const override;
    void VM_Write(VM_CByteWriter& out) const override;
    bool VM_Read(VM_CByteReader& in) override;

    int32_t m_nState = kStateNormal;
    int32_t m_nSelImage = -1;
    int32_t m_nImage = -1;
    // Not stored: the view's handle of the item and whether it may be renamed.
    void* m_hItem = nullptr;
    bool m_bEditable = false;

protected:
    VM_CTreeItem(const VM_CTreeItem& other);
};

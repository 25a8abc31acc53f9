#include "store/tree_node.h"

VM_CNode* VM_CNode::VM_Clone() const { return new VM_CNode(*this); }

void VM_CNode::VM_Write(VM_CByteWriter& out) const {
    out.VM_WriteInt32(m_id);
    out.VM_WriteInt32(m_idParent);
    out.VM_WriteInt32(m_idNext);
    out.VM_WriteInt32(m_idFirstChild);
    out.VM_WriteCounted(m_szName);
}

bool VM_CNode::VM_Read(VM_CByteReader& in) {
    int32_t length = 0;
    if (!in.VM_ReadInt32(m_id) || !in.VM_ReadInt32(m_idParent) || !in.VM_ReadInt32(m_idNext) ||
        !in.VM_ReadInt32(m_idFirstChild) || !in.VM_ReadInt32(length) || length < 0)
        return false;
    return in.VM_ReadBytes(static_cast<size_t>(length), m_szName);
}

VM_CTreeItem::VM_CTreeItem(const char* name, int32_t image, int32_t selImage)
    : m_nSelImage(selImage), m_nImage(image) {
    if (name != nullptr) m_szName = name;
}

// The view's handle belongs to the view that showed the original.
VM_CTreeItem::VM_CTreeItem(const VM_CTreeItem& other)
    : VM_CNode(other), m_nState(other.m_nState), m_nSelImage(other.m_nSelImage), m_nImage(other.m_nImage) {}

VM_CNode* VM_CTreeItem::VM_Clone() const { return new VM_CTreeItem(*this); }

void VM_CTreeItem::VM_Write(VM_CByteWriter& out) const {
    VM_CNode::VM_Write(out);
    out.VM_WriteInt32(m_nState);
    out.VM_WriteInt32(m_nSelImage);
    out.VM_WriteInt32(m_nImage);
}

bool VM_CTreeItem::VM_Read(VM_CByteReader& in) {
    return VM_CNode::VM_Read(in) && in.VM_ReadInt32(m_nState) && in.VM_ReadInt32(m_nSelImage) &&
           in.VM_ReadInt32(m_nImage);
}

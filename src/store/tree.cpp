#include "store/tree.h"

#include <bitset>

#include "diag/trace.h"
#include "store/stored_file.h"

VM_CTree::VM_CTree(VM_CNode* prototype, const char* file) : m_prototype(prototype) {
    if (file != nullptr) {
        m_szFile = file;
        VM_Load();
    }
}

VM_CTree::VM_CTree(const VM_CTree& other)
    : m_prototype(other.m_prototype ? other.m_prototype->VM_Clone() : nullptr) {
    for (int i = 0; i < other.m_nCount; ++i) {
        VM_CNode* copy = other.m_nodes[static_cast<size_t>(i)]->VM_Clone();
        if (copy == nullptr) continue;
        m_nodes[static_cast<size_t>(m_nCount++)] = copy;
    }
}

VM_CTree::~VM_CTree() {
    if (m_bChanged) VM_Save();
    VM_Clear();
}

void VM_CTree::VM_Clear() {
    for (int i = 0; i < m_nCount; ++i) {
        delete m_nodes[static_cast<size_t>(i)];
        m_nodes[static_cast<size_t>(i)] = nullptr;
    }
    if (m_nCount > 0) m_bChanged = true;
    m_nCount = 0;
}

VM_CNode* VM_CTree::VM_GetAt(int index) const {
    if (index < 0 || index >= m_nCount) return nullptr;
    return m_nodes[static_cast<size_t>(index)];
}

VM_CNode* VM_CTree::VM_Find(int32_t id) const {
    for (int i = 0; i < m_nCount; ++i)
        if (m_nodes[static_cast<size_t>(i)]->m_id == id) return m_nodes[static_cast<size_t>(i)];
    return nullptr;
}

int VM_CTree::VM_IndexOf(const VM_CNode* node) const {
    for (int i = 0; i < m_nCount; ++i)
        if (m_nodes[static_cast<size_t>(i)] == node) return i;
    return -1;
}

bool VM_CTree::VM_Contains(const VM_CNode* node) const { return node != nullptr && VM_IndexOf(node) >= 0; }

std::vector<VM_CNode*> VM_CTree::VM_GetChildren(const VM_CNode* parent) const {
    std::vector<VM_CNode*> children;
    if (parent == nullptr) return children;
    std::bitset<kMaxId + 1> seen;
    for (VM_CNode* child = VM_Find(parent->m_idFirstChild); child != nullptr; child = VM_Find(child->m_idNext)) {
        if (child->m_id < 0 || child->m_id > kMaxId || seen[static_cast<size_t>(child->m_id)]) break;
        seen.set(static_cast<size_t>(child->m_id));
        children.push_back(child);
    }
    return children;
}

int32_t VM_CTree::VM_FreeId() const {
    std::bitset<kMaxId + 1> used;
    for (int i = 0; i < m_nCount; ++i) {
        int32_t id = m_nodes[static_cast<size_t>(i)]->m_id;
        if (id >= 0 && id <= kMaxId) used.set(static_cast<size_t>(id));
    }
    for (int32_t id = 0; id <= kMaxId; ++id)
        if (!used[static_cast<size_t>(id)]) return id;
    return -1;
}

void VM_CTree::VM_LinkAsLastChild(VM_CNode* parent, VM_CNode* node) {
    std::vector<VM_CNode*> children = VM_GetChildren(parent);
    // The walk stops at the last child it could reach; a broken or circular
    // link after it is replaced by the new node.
    if (children.empty()) {
        parent->m_idFirstChild = node->m_id;
    } else {
        children.back()->m_idNext = node->m_id;
    }
}

bool VM_CTree::VM_Insert(VM_CNode* parent, VM_CNode* node) {
    if (node == nullptr || m_nCount >= kMaxNodes || VM_Contains(node)) return false;
    if (parent == nullptr) {
        if (VM_Find(0) != nullptr) return false;
        node->m_id = 0;
        node->m_idParent = -1;
    } else {
        if (!VM_Contains(parent)) return false;
        node->m_id = VM_FreeId();
        node->m_idParent = parent->m_id;
        VM_LinkAsLastChild(parent, node);
    }
    node->m_idNext = -1;
    node->m_idFirstChild = -1;
    m_nodes[static_cast<size_t>(m_nCount++)] = node;
    m_bChanged = true;
    return true;
}

bool VM_CTree::VM_RemoveNode(VM_CNode* node) {
    int index = VM_IndexOf(node);
    if (index < 0 || node->m_idFirstChild != -1) return false;
    int32_t next = node->m_idNext == node->m_id ? -1 : node->m_idNext;
    // In a sound tree exactly one link names the node: its parent's first
    // child or its previous sibling's next. Rewriting every link that names
    // it also mends a damaged tree instead of leaving a dangling link.
    for (int i = 0; i < m_nCount; ++i) {
        VM_CNode* other = m_nodes[static_cast<size_t>(i)];
        if (other == node) continue;
        if (other->m_idFirstChild == node->m_id) other->m_idFirstChild = next;
        if (other->m_idNext == node->m_id) other->m_idNext = next;
    }
    m_nodes[static_cast<size_t>(index)] = m_nodes[static_cast<size_t>(m_nCount - 1)];
    m_nodes[static_cast<size_t>(m_nCount - 1)] = nullptr;
    --m_nCount;
    delete node;
    m_bChanged = true;
    return true;
}

void VM_CTree::VM_MarkDamaged(const char* why) {
    m_bDamaged = true;
    // What was read stays; with the file set aside the next save makes a
    // new one. A file that cannot be set aside is never saved over.
    if (m_szFile && VM_SetAsideDamagedFile(m_szFile->c_str(), why)) {
        m_bChanged = true;
        return;
    }
    VM_TRACE(g_bTraceTapi, "VM_CTree::VM_Load: %s: %s; the file will not be saved over",
             m_szFile ? m_szFile->c_str() : "(no file)", why);
    m_szFile.reset();
}

bool VM_CTree::VM_Load() {
    VM_Clear();
    m_bChanged = false;
    if (!m_szFile) return true;
    return VM_LoadStoredFile(
        m_szFile->c_str(), [this](const char* why) { VM_MarkDamaged(why); },
        [this](const std::string& bytes) { return VM_LoadBytes(bytes); });
}

bool VM_CTree::VM_LoadBytes(const std::string& bytes) {
    VM_Clear();
    m_bChanged = false;
    VM_CByteReader in(bytes.data(), bytes.size());
    int32_t count = 0;
    if (!in.VM_ReadInt32(count) || count < 0) {
        VM_MarkDamaged("impossible node count");
        return false;
    }
    std::bitset<kMaxId + 1> used;
    for (int32_t i = 0; i < count; ++i) {
        if (m_nCount >= kMaxNodes) {
            VM_MarkDamaged("more nodes than a tree holds");
            return false;
        }
        VM_CNode* node = m_prototype ? m_prototype->VM_Clone() : nullptr;
        if (node == nullptr) {
            VM_MarkDamaged("cannot make a node");
            return false;
        }
        if (!node->VM_Read(in)) {
            delete node;
            VM_MarkDamaged("node cut short or with an impossible name length");
            return false;
        }
        if (node->m_id < 0 || node->m_id > kMaxId || used[static_cast<size_t>(node->m_id)]) {
            delete node;
            VM_MarkDamaged("node identifier out of range or used twice");
            return false;
        }
        used.set(static_cast<size_t>(node->m_id));
        m_nodes[static_cast<size_t>(m_nCount++)] = node;
    }
    if (!in.VM_AtEnd()) {
        VM_MarkDamaged("bytes after the last counted node");
        return false;
    }
    return true;
}

std::string VM_CTree::VM_SaveBytes() const {
    VM_CByteWriter out;
    out.VM_WriteInt32(m_nCount);
    for (int i = 0; i < m_nCount; ++i) m_nodes[static_cast<size_t>(i)]->VM_Write(out);
    return out.VM_Bytes();
}

bool VM_CTree::VM_Save() {
    if (!m_szFile) return false;
    bool saved = m_nCount == 0 ? VM_DeleteStoredFile(m_szFile->c_str())
                               : VM_SaveStoredFile(m_szFile->c_str(), VM_SaveBytes());
    if (saved) m_bChanged = false;
    return saved;
}

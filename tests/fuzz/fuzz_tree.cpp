// Tree files: whatever the bytes, loading neither crashes, leaks nor hangs;
// a loaded tree keeps at most 399 nodes with unique identifiers, its links
// can be walked, nodes can be added and removed, and what it saves loads
// back whole and saves the same again.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "store/tree.h"

namespace {

void CheckShape(const VM_CTree& tree) {
    if (tree.VM_GetCount() > VM_CTree::kMaxNodes) std::abort();
    std::set<int32_t> ids;
    for (int i = 0; i < tree.VM_GetCount(); ++i) {
        const VM_CNode* node = tree.VM_GetAt(i);
        if (node->m_id < 0 || node->m_id > VM_CTree::kMaxId || !ids.insert(node->m_id).second) std::abort();
        if (tree.VM_GetChildren(node).size() > static_cast<size_t>(tree.VM_GetCount())) std::abort();
    }
}

void Edit(VM_CTree& tree, uint8_t seed) {
    if (tree.VM_GetCount() == 0) {
        if (!tree.VM_Insert(nullptr, new VM_CTreeItem("root", 0, 0))) std::abort();
        return;
    }
    VM_CNode* parent = tree.VM_GetAt(seed % tree.VM_GetCount());
    auto* folder = new VM_CTreeItem("New Folder", 3, 4);
    if (!tree.VM_Insert(parent, folder)) {
        delete folder;
    } else if (!tree.VM_RemoveNode(folder)) {
        std::abort();  // a new node has no children
    }
    // Remove a leaf; no link may name it afterwards.
    for (int i = 0; i < tree.VM_GetCount(); ++i) {
        VM_CNode* node = tree.VM_GetAt((i + seed) % tree.VM_GetCount());
        if (node->m_idFirstChild != -1) continue;
        int32_t id = node->m_id;
        if (!tree.VM_RemoveNode(node)) std::abort();
        for (int j = 0; j < tree.VM_GetCount(); ++j) {
            const VM_CNode* other = tree.VM_GetAt(j);
            if (other->m_idNext == id || other->m_idFirstChild == id) std::abort();
        }
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    VM_CTree tree(new VM_CTreeItem, nullptr);
    tree.VM_LoadBytes(bytes);
    CheckShape(tree);
    VM_CTree copy(tree);
    CheckShape(copy);
    Edit(tree, size > 0 ? data[0] : 0);
    CheckShape(tree);

    std::string saved = tree.VM_SaveBytes();
    VM_CTree again(new VM_CTreeItem, nullptr);
    if (!again.VM_LoadBytes(saved) || again.VM_SaveBytes() != saved) std::abort();
    return 0;
}

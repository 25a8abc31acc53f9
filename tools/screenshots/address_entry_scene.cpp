// The address-book entry dialog: a friend's entry being opened, and a new
// entry for a withheld caller who is blocked with the special tone.
#include <memory>

#include "app/dialogs/address_entry_dialog.h"
#include "scene_registry.h"
#include "store/addr_entry.h"
#include "store/app_config.h"
#include "store/tree.h"
#include "store/tree_node.h"

namespace {

VM_CTree& SceneTree() {
    static std::unique_ptr<VM_CTree> tree = [] {
        auto made = std::make_unique<VM_CTree>(new VM_CTreeItem(), nullptr);
        auto* root = new VM_CTreeItem("Address Book", 0, 0);
        made->VM_Insert(nullptr, root);
        made->VM_Insert(root, new VM_CTreeItem("My Friends", 3, 4));
        return made;
    }();
    return *tree;
}

}  // namespace

VM_SCREENSHOT_SCENE(address_entry_open) {
    static VM_CAddrEntry entry;
    entry.m_id = 7;
    entry.VM_SetAttr(VM_CAddrEntry::kAttrName, "Ann Example");
    entry.VM_SetAttr(VM_CAddrEntry::kAttrOffice, "555-0100");
    entry.VM_SetAttr(VM_CAddrEntry::kAttrCellular, "555-010?");
    entry.VM_SetAttr(VM_CAddrEntry::kAttrNotes, "Plays in the Thursday band.");
    VM_CAppCfg& cfg = VM_SceneConfig();
    cfg.m_nNotifyMode = 2;
    return new VM_CAddressEntryDialog(cfg, SceneTree(), 1, entry, QStringLiteral("Open"));
}

VM_SCREENSHOT_SCENE(address_entry_new_blocked) {
    static VM_CAddrEntry entry;
    VM_SAddrEntryForm form;
    form.useSpecialWord = true;
    form.specialWord = 5;
    form.blockValue = VM_CAddrEntry::kFlagBlockTone;
    form.bulkCall = true;
    VM_CAppCfg& cfg = VM_SceneConfig();
    cfg.m_nNotifyMode = 0;
    auto* dialog = new VM_CAddressEntryDialog(cfg, SceneTree(), 1, entry, QStringLiteral("New"));
    dialog->VM_FillForm(form);
    return dialog;
}

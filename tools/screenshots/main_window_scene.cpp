// The main window on the message page with a few calls, and the dialogs of
// its Move and Find commands.
#include <QMainWindow>
#include <memory>

#include "app/dialogs/find_dialog.h"
#include "app/dialogs/folder_choice_dialog.h"
#include "app/views/main_views.h"
#include "callflow/answer_machine.h"
#include "scene_registry.h"
#include "store/app_config.h"
#include "store/folder_tree_model.h"
#include "store/tree_node.h"

namespace {

class SceneWindow : public QMainWindow {
public:
    SceneWindow() : m_views(VM_SceneConfig(), m_mediator, nullptr, nullptr) {
        VM_CAppCfg& cfg = VM_SceneConfig();
        cfg.m_dwFlags |= VM_FLAG_MESSAGE_PAGE | VM_FLAG_TOOLBAR | VM_FLAG_FOLDER_TREE | VM_FLAG_START_IN_INBOX;
        setWindowTitle(cfg.m_szTitle);
        m_views.VM_Create(this);
        resize(900, 420);
        struct Sample {
            const char* name;
            const char* number;
            int hour;
            bool read;
        };
        // The scenes share one program folder: the light and the dark
        // picture show the same calls.
        if (m_views.VM_GetCallLog().VM_GetRowCount() > 0) return;
        for (const Sample& s : {Sample{"Ann Example", "(555) 010-7788", 9, true},
                                Sample{"Bob Sample", "(555) 010-2211", 11, false},
                                Sample{"Unknown", "Private", 14, false}}) {
            auto* record = new VM_CCallInfo;
            record->VM_SetAttr(VM_CCallInfo::kAttrName, s.name);
            record->VM_SetAttr(VM_CCallInfo::kAttrNumber, s.number);
            record->VM_SetTime(2026, 12, 7, s.hour, 5, 0);
            if (s.read) record->VM_AddFlags(VM_CCallInfo::kFlagRead);
            LRESULT result = 0;
            m_views.VM_OnMessage(nullptr, VM_MSG_NEW_CALL_RECORD, static_cast<WPARAM>(cfg.m_idInbox),
                                 reinterpret_cast<LPARAM>(record), result);
        }
    }

private:
    VM_CMediator m_mediator;
    VM_CMainViews m_views;
};

}  // namespace

VM_SCREENSHOT_SCENE(main_window) { return new SceneWindow; }

VM_SCREENSHOT_SCENE(move_folder_dialog) {
    static std::unique_ptr<VM_CTree> tree;
    tree = std::make_unique<VM_CTree>(new VM_CTreeItem, nullptr);
    VM_CAppCfg& cfg = VM_SceneConfig();
    VM_AddDefaultFolders(*tree, VM_ETreeKind::kMessages, cfg);
    return new VM_CFolderChoiceDialog(
        nullptr, *tree, "Copy", "Please Select a Folder:",
        [&cfg](const VM_CNode* folder) { return VM_IsSelectableTarget(cfg, VM_ETreeKind::kMessages, folder, true); },
        cfg.m_idInbox);
}

VM_SCREENSHOT_SCENE(find_dialog) {
    static VM_SFindOptions options;
    static VM_CFindHistory history;
    history.VM_Add("Ann");
    options.text = "Bob";
    return new VM_CFindDialog(nullptr, options, history, VM_CFindDialog::Target{});
}

#include "app/views/command_table.h"

namespace {

using M = VM_EMenu;

const std::vector<VM_SCommandInfo> kCommands = {
    {kCmdOpen, "Open", "Open currently selected voice message or phone book entry.", "&Open", "Ctrl+O", M::kFile,
     false},
    {kCmdSaveAs, "Save As", "Save currently selected voice message as a wave file.", "Save &As...", "Ctrl+S",
     M::kFile, false},
    {kCmdExit, nullptr, "Exit this application.", "E&xit", "Ctrl+Q", M::kFile, false},
    {kCmdSelectAll, nullptr, "Select all entries in the current list view.", "Select &All", "Ctrl+A", M::kEdit,
     false},
    {kCmdMove, "Move", "Move currently selected entries to other folder.", "&Move to Folder...", "Ctrl+M",
     M::kEdit, false},
    {kCmdCopy, nullptr, "Copy currently selected entries to other folder.", "&Copy to Folder...", "Ctrl+Shift+C",
     M::kEdit, false},
    {kCmdDelete, "Delete", "Delete currently selected entries.", "&Delete", "Del", M::kEdit, false},
    {kCmdFind, "Find", "Find entries that meet your specified conditions.", "&Find...", "Ctrl+F", M::kEdit, false},
    {kCmdNewAddress, nullptr, "Create new address book entries", "&New Address Book Entry...", "Ctrl+N", M::kEdit,
     false},
    {kCmdAddCaller, "Add", "Add selected caller to address book.", "Add Caller to Address &Book...", "Ctrl+B",
     M::kEdit, false},
    {kCmdBlockCaller, nullptr, "Block selected caller from calling in the future.", "B&lock Caller...",
     "Ctrl+Shift+B", M::kEdit, false},
    {kCmdToolBar, nullptr, "Hide or show tool bar.", "&Tool Bar", "Ctrl+Shift+T", M::kView, true},
    {kCmdStatusBar, nullptr, "Hide or show status bar.", "&Status Bar", "Ctrl+Shift+S", M::kView, true},
    {kCmdFolderTree, nullptr, "Hide or show the folder tree.", "&Folder Tree", "Ctrl+Shift+F", M::kView, true},
    {kCmdRestore, nullptr, "Restore window", "&Restore Window", nullptr, M::kNone, false},
    {kCmdSortName, nullptr, "Sort all entries in the current list view by their name.", "By &Name", "Ctrl+1",
     M::kSort, false},
    {kCmdSortNumber, nullptr, "Sort all entries in the current list view by their phone number.",
     "By &Phone Number", "Ctrl+2", M::kSort, false},
    {kCmdSortMailbox, nullptr, "Sort all voice messages in the current list view by their mailbox number.",
     "By &Mailbox", "Ctrl+3", M::kSort, false},
    {kCmdSortTime, nullptr, "Sort all voice messages in the current list view by their received time.",
     "By Received &Time", "Ctrl+4", M::kSort, false},
    {kCmdSortRead, nullptr, "Sort all voice messages in the current list view based on whether they are read.",
     "By &Read State", "Ctrl+5", M::kSort, false},
    {kCmdSortMessages, nullptr, "Sort all entries in the current list view based on messages left.",
     "By Messages &Left", "Ctrl+6", M::kSort, false},
    {kCmdNewFolder, nullptr, "Create a new folder under currently selected folder.", "&New Folder",
     "Ctrl+Shift+N", M::kFolder, false},
    {kCmdRenameFolder, nullptr, "Rename currently selected folder.", "&Rename Folder", "F2", M::kFolder, false},
    {kCmdDeleteFolder, nullptr, "Delete currently selected folder.", "&Delete Folder", "Ctrl+Shift+Del",
     M::kFolder, false},
    {kCmdAnswer, "Answer", "Tick this to let Vocerra automatically answer the phone calls for you.",
     "&Answer Calls", "Ctrl+R", M::kSetup, true},
    {kCmdModemSetup, nullptr, "Select modem, config volume and specify rings.", "&Modem and Calls...", nullptr,
     M::kSetup, false},
    {kCmdMailboxSetup, nullptr, "Set up one or more mail boxes, and record your greetings.",
     "Mail&boxes and Greetings...", nullptr, M::kSetup, false},
    {kCmdRemoteEmailSetup, nullptr,
     "Activate remote retrieval and forward voice messages to your email accounts.",
     "&Remote Retrieval and Email...", nullptr, M::kSetup, false},
    {kCmdPreferences, nullptr, "Config personal preferences. (e.g. password etc)", "&Preferences...", nullptr,
     M::kSetup, false},
    {kCmdHelp, "Help", "Read user manual.", "&User Manual", "F1", M::kHelp, false},
    {kCmdTips, nullptr, "Show the tips.", "&Tips...", nullptr, M::kHelp, false},
    {kCmdAbout, "About", "About Vocerra.", "&About Vocerra...", nullptr, M::kHelp, false},
};

}  // namespace

const std::vector<VM_SCommandInfo>& VM_GetCommands() { return kCommands; }

const VM_SCommandInfo* VM_FindCommand(int id) {
    for (const VM_SCommandInfo& info : kCommands)
        if (info.id == id) return &info;
    return nullptr;
}

const std::vector<int>& VM_GetToolbarLayout() {
    static const std::vector<int> layout = {kCmdAddCaller, 0, kCmdOpen, kCmdSaveAs, 0, kCmdMove, kCmdDelete, 0,
                                            kCmdFind, kCmdAnswer, 0, kCmdHelp, kCmdAbout};
    return layout;
}

const char* VM_GetMenuTitle(VM_EMenu menu) {
    switch (menu) {
    case M::kFile: return "&File";
    case M::kEdit: return "&Edit";
    case M::kView: return "&View";
    case M::kSort: return "S&ort";
    case M::kFolder: return "F&older";
    case M::kSetup: return "&Setup";
    case M::kHelp: return "&Help";
    case M::kNone: break;
    }
    return "";
}

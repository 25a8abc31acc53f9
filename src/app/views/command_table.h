// The main window's commands: their numbers (the menus, toolbar, tray and
// accelerators carry the same ones), toolbar captions, tooltips, menu
// texts and keys, and the toolbar's order.
#pragma once

#include <vector>

enum VM_ECommand : int {
    kCmdDrop = 0,
    kCmdSaveAs = 40004,
    kCmdOpen = 40005,
    kCmdExit = 40007,
    kCmdNewFolder = 40008,
    kCmdRenameFolder = 40009,
    kCmdDeleteFolder = 40010,
    kCmdStatusBar = 40012,
    kCmdToolBar = 40014,
    kCmdSelectAll = 40015,
    kCmdMove = 40016,
    kCmdCopy = 40017,
    kCmdDelete = 40018,
    kCmdModemSetup = 40020,
    kCmdMailboxSetup = 40021,
    kCmdSortMailbox = 40031,
    kCmdSortNumber = 40032,
    kCmdSortName = 40033,
    kCmdSortTime = 40034,
    kCmdHelp = 40045,
    kCmdTips = 40047,
    kCmdAbout = 40048,
    kCmdSortRead = 40052,
    kCmdSortMessages = 40053,
    kCmdPreferences = 40054,
    kCmdAnswer = 40055,
    kCmdFind = 40056,
    kCmdFolderTree = 40058,
    kCmdRestore = 40059,
    kCmdNewAddress = 40060,
    kCmdRemoteEmailSetup = 40066,
    kCmdAddCaller = 40067,
    kCmdBlockCaller = 40068,
};

enum class VM_EMenu { kFile, kEdit, kView, kSort, kFolder, kSetup, kHelp, kNone };

struct VM_SCommandInfo {
    int id;
    const char* caption;   // toolbar caption; null when not on the toolbar
    const char* tooltip;   // also the menu item's status tip
    const char* menuText;  // with its mnemonic
    const char* shortcut;  // a QKeySequence text; null for none
    VM_EMenu menu;
    bool checkable;
};

// Every command, in menu order within each menu.
const std::vector<VM_SCommandInfo>& VM_GetCommands();
const VM_SCommandInfo* VM_FindCommand(int id);
// The toolbar's buttons in order; 0 stands for a separator.
const std::vector<int>& VM_GetToolbarLayout();
// The menu bar's titles, by VM_EMenu.
const char* VM_GetMenuTitle(VM_EMenu menu);

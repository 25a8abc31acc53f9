// vocerra-soak-files: the soak's view of a program folder, through the
// program's own classes.
//
//   vocerra-soak-files setup HOME [key=value ...]
//       Writes the settings a soak runs with and the address book's
//       entries. Keys: line, rings, max-minutes, silence-seconds,
//       silence-level, multi-mailbox (0/1), retrieval (0/1), smtp-port (mail
//       to 127.0.0.1 for every call), and entry=NUMBER|NAME|FLAGS|GREETING
//       (repeatable).
//   vocerra-soak-files dump HOME
//       Reads every call log and both folder trees the way the program reads
//       them, never writing, and prints tab-separated lines:
//         tree KIND STATE COUNT
//         list FOLDER STATE COUNT
//         record FOLDER ID FLAGS MAILBOX LENGTH NUMBER NAME TIME WAVE NOTES
//       STATE is read, missing or damaged.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "store/addr_entry.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/folder_tree_model.h"
#include "store/list.h"
#include "store/stored_file.h"
#include "store/tree.h"
#include "store/tree_node.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: vocerra-soak-files setup HOME [key=value ...] | dump HOME\n");
    return 2;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

void MakeDefaultFolders(VM_CAppCfg& cfg) {
    for (VM_ETreeKind kind : {VM_ETreeKind::kMessages, VM_ETreeKind::kAddresses}) {
        std::unique_ptr<char[]> file(cfg.VM_GetTreeFileName(kind == VM_ETreeKind::kMessages ? 1 : 2));
        VM_CTree tree(new VM_CTreeItem, file.get());
        VM_AddDefaultFolders(tree, kind, cfg);
    }
}

bool AddEntry(VM_CAppCfg& cfg, const std::string& text) {
    const std::vector<std::string> field = Split(text, '|');
    if (field.size() != 4) return false;
    VM_CAddrEntry prototype;
    std::unique_ptr<char[]> file(cfg.VM_GetAddressListFileName(0));
    VM_CList list(&prototype, file.get(), VM_CList::kFileBacked);
    list.m_id = 0;
    auto* entry = new VM_CAddrEntry();
    entry->VM_SetAttr(VM_CAddrEntry::kAttrFlags, field[2].c_str());
    entry->VM_SetAttr(VM_CAddrEntry::kAttrName, field[1].c_str());
    entry->VM_SetAttr(VM_CAddrEntry::kAttrCellular, field[0].c_str());
    if (!field[3].empty()) entry->VM_SetAttr(VM_CAddrEntry::kAttrGreeting, field[3].c_str());
    return list.VM_Append(entry) && list.VM_Save();
}

bool Apply(VM_CAppCfg& cfg, const std::string& key, const std::string& value) {
    const int number = std::atoi(value.c_str());
    if (key == "line") cfg.m_idLine = number;
    else if (key == "rings") cfg.m_nRings = static_cast<std::uint8_t>(number);
    else if (key == "max-minutes") cfg.m_nMaxCallMinutes = number;
    else if (key == "silence-seconds") cfg.m_nSilenceSeconds = static_cast<std::int16_t>(number);
    else if (key == "silence-level") cfg.m_nSilenceLevel = static_cast<std::int16_t>(number);
    else if (key == "multi-mailbox") cfg.VM_SetFlag(number == 0, VM_FLAG_SINGLE_MAILBOX);
    else if (key == "retrieval") cfg.VM_SetFlag(number != 0, VM_FLAG_REMOTE_RETRIEVAL);
    else if (key == "smtp-port") {
        cfg.m_nNotifyMode = 1;
        cfg.m_nSmtpPort = number;
        cfg.m_nSmtpSecurity = 0;
        VM_CAppCfg::VM_SetText(cfg.m_szSmtpServer, "127.0.0.1");
        VM_CAppCfg::VM_SetText(cfg.m_szSender, "vocerra@soak.invalid");
        VM_CAppCfg::VM_SetText(cfg.m_szEmail[0], "owner@soak.invalid");
    } else if (key == "entry") return AddEntry(cfg, value);
    else return false;
    return true;
}

int Setup(const char* home, int argc, char** argv) {
    VM_CAppCfg cfg(home);
    MakeDefaultFolders(cfg);
    // Answering without windows: nothing a person at the desk would see or hear.
    cfg.VM_SetFlag(true, VM_FLAG_ANSWERING | VM_FLAG_SINGLE_MAILBOX);
    cfg.VM_SetFlag(false, VM_FLAG_TOLL_SAVER | VM_FLAG_PRESCREEN | VM_FLAG_MODEM_FIX | VM_FLAG_TIPS |
                              VM_FLAG_EMPTY_DELETED | VM_FLAG_REMOTE_RETRIEVAL);
    cfg.m_nAlertMode = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (eq == std::string::npos || !Apply(cfg, arg.substr(0, eq), arg.substr(eq + 1))) {
            std::fprintf(stderr, "vocerra-soak-files: cannot apply %s\n", arg.c_str());
            return 1;
        }
    }
    return cfg.VM_Save() ? 0 : 1;
}

const char* State(VM_FileState state, bool parsed) {
    if (state == VM_FileState::kMissing) return "missing";
    return state == VM_FileState::kRead && parsed ? "read" : "damaged";
}

// Tabs and line ends would break the line format.
std::string Field(const std::optional<std::string>& text) {
    std::string out = text.value_or("");
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

void DumpTree(const std::string& config, int kind) {
    const std::string file = config + (kind == 1 ? "/QvTV.Cfg" : "/QvTA.Cfg");
    std::string bytes;
    const VM_FileState state = VM_ReadStoredFile(file.c_str(), bytes);
    VM_CTree tree(new VM_CTreeItem, nullptr);
    const bool parsed = state == VM_FileState::kRead && tree.VM_LoadBytes(bytes);
    std::printf("tree\t%s\t%s\t%d\n", kind == 1 ? "messages" : "addresses", State(state, parsed), tree.VM_GetCount());
}

void DumpList(const std::string& path, int folder) {
    std::string bytes;
    const VM_FileState state = VM_ReadStoredFile(path.c_str(), bytes);
    VM_CCallInfo prototype;
    VM_CList list(&prototype, nullptr, 0);
    const bool parsed = state == VM_FileState::kRead && list.VM_LoadBytes(bytes);
    std::printf("list\t%d\t%s\t%d\n", folder, State(state, parsed), list.VM_GetCount());
    for (int i = 0; i < list.VM_GetCount(); ++i) {
        auto* record = static_cast<VM_CCallInfo*>(list.VM_GetAt(i));
        std::printf("record\t%d\t%d\t%lu\t%s\t%d\t%s\t%s\t%s\t%s\t%s\n", folder, record->m_id,
                    static_cast<unsigned long>(record->VM_GetFlags()),
                    Field(record->VM_GetAttrText(VM_CCallInfo::kAttrMailbox)).c_str(), record->VM_GetLength(),
                    Field(record->VM_GetAttrText(VM_CCallInfo::kAttrNumber)).c_str(),
                    Field(record->VM_GetAttrText(VM_CCallInfo::kAttrName)).c_str(),
                    Field(record->VM_GetAttrText(VM_CCallInfo::kAttrTime)).c_str(),
                    Field(record->VM_GetAttrText(VM_CCallInfo::kAttrWaveFile)).c_str(),
                    Field(record->VM_GetAttrText(VM_CCallInfo::kAttrNotes)).c_str());
    }
}

// Never through the configuration object, which saves itself when it goes:
// the running program owns the folder.
int Dump(const char* home) {
    const std::string config = std::string(home) + VM_FOLDER_CONFIG;
    DumpTree(config, 1);
    DumpTree(config, 2);
    DIR* dir = opendir(config.c_str());
    if (dir == nullptr) return 1;
    while (const dirent* entry = readdir(dir)) {
        int folder = -1;
        char tail = 0;
        if (std::strlen(entry->d_name) == 12 && std::sscanf(entry->d_name, "QvLV%4d.Cf%c", &folder, &tail) == 2 &&
            tail == 'g')
            DumpList(config + "/" + entry->d_name, folder);
    }
    closedir(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    if (std::strcmp(argv[1], "setup") == 0) return Setup(argv[2], argc - 3, argv + 3);
    if (std::strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
    return Usage();
}

#include "shell/messages_command.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

#include "store/app_config.h"
#include "store/call_info.h"
#include "store/folder_tree_model.h"
#include "store/list.h"
#include "store/program_folder.h"
#include "store/stored_file.h"
#include "store/tree.h"

namespace {

constexpr int kColumns = 6;
using Row = std::array<std::string, kColumns>;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Text(const char* value) { return value != nullptr ? value : ""; }

// Loaded from the bytes, never tied to the file: nothing here is saved or
// set aside, whatever the running copy does with the files.
void LoadTree(const VM_CAppCfg& cfg, VM_CTree& tree) {
    std::unique_ptr<char[]> file(cfg.VM_GetTreeFileName(1));
    std::string bytes;
    if (file && VM_ReadStoredFile(file.get(), bytes) == VM_FileState::kRead) tree.VM_LoadBytes(bytes);
}

struct Folder {
    std::string name;
    int id;
};

// The message folders by name in the tree's order; before the first start
// made the tree, the three the configuration names.
std::vector<Folder> MessageFolders(const VM_CAppCfg& cfg) {
    VM_CTree tree(new VM_CTreeItem, nullptr);
    LoadTree(cfg, tree);
    std::vector<Folder> folders;
    for (const VM_STreeRow& row : VM_GetTreeRows(tree))
        if (row.depth > 0) folders.push_back({row.item->m_szName, row.item->m_id});
    if (folders.empty())
        folders = {{"Inbox", cfg.m_idInbox}, {"Deleted Messages", cfg.m_idDeleted}, {"Bulk Call", cfg.m_idBulkCall}};
    return folders;
}

void Print(std::FILE* out, const std::vector<Row>& rows) {
    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows)
        for (int i = 0; i < kColumns; ++i) widths[i] = std::max(widths[i], row[i].size());
    for (const Row& row : rows) {
        std::string line;
        for (int i = 0; i < kColumns; ++i) {
            line += row[i];
            if (i + 1 < kColumns) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
}

Row Describe(VM_CCallInfo& record) {
    const char* wave = record.VM_GetWaveFile();
    return {Text(record.VM_GetAttr(VM_CCallInfo::kAttrTime)), Text(record.VM_GetAttr(VM_CCallInfo::kAttrName)),
            Text(record.VM_GetAttr(VM_CCallInfo::kAttrNumber)), std::to_string(record.VM_GetLength()) + " s",
            record.VM_IsRead() ? "read" : "new",
            wave != nullptr ? wave : (record.VM_GetFlags() & VM_CCallInfo::kFlagBlocked) ? "(blocked)" : "-"};
}

}  // namespace

int VM_RunMessagesCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    if (args.size() > 1 || (args.size() == 1 && args[0].rfind('-', 0) == 0)) {
        std::fputs("Usage: vocerra messages [FOLDER]   the calls of a message folder (default: Inbox)\n", err);
        return 2;
    }
    const std::string folderName = args.empty() ? "Inbox" : args[0];
    const VM_CAppCfg cfg(VM_FindProgramFolder().c_str(), VM_CAppCfg::VM_EAccess::kReadOnly);
    const std::vector<Folder> folders = MessageFolders(cfg);
    const auto folder = std::find_if(folders.begin(), folders.end(),
                                     [&](const Folder& f) { return Lower(f.name) == Lower(folderName); });
    if (folder == folders.end()) {
        std::string names;
        for (const Folder& f : folders) names += (names.empty() ? "" : ", ") + f.name;
        std::fprintf(err, "vocerra messages: there is no folder \"%s\"; the folders are: %s.\n", folderName.c_str(),
                     names.c_str());
        return 1;
    }
    std::unique_ptr<char[]> file(cfg.VM_GetMessageListFileName(folder->id));
    std::string bytes;
    const VM_FileState state = file ? VM_ReadStoredFile(file.get(), bytes) : VM_FileState::kMissing;
    VM_CCallInfo prototype;
    VM_CList list(&prototype, nullptr, 0);
    if (state == VM_FileState::kUnreadable || (state == VM_FileState::kRead && !list.VM_LoadBytes(bytes)))
        std::fprintf(err, "vocerra messages: %s cannot be read whole; these are the calls read.\n", file.get());
    std::vector<Row> rows{{"TIME", "CALLER", "NUMBER", "LENGTH", "STATE", "FILE"}};
    for (int i = 0; i < list.VM_GetCount(); ++i) rows.push_back(Describe(*static_cast<VM_CCallInfo*>(list.VM_GetAt(i))));
    Print(out, rows);
    return 0;
}

#include "store/address_entry_form.h"

#include <memory>
#include <set>
#include <vector>

#include "platform/win32/files.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "store/entry_transfer.h"
#include "store/list.h"
#include "store/phone_number.h"
#include "telephony/caller_id.h"
#include "telephony/var_structs.h"

const char* const VM_ENTRY_INVALID_TEXT =
    "Please make sure that both the name field and one of the phone number fields are correctly entered.";
const char* const VM_ENTRY_NO_ANNOUNCEMENT_TEXT =
    "Please record an announcement for this caller. To start recording, you can simply click the red round "
    "button on the address entry window. ";
const char* const VM_ENTRY_DUPLICATE_IN_FOLDER_TEXT =
    "This caller already has an entry in your address book under %s folder. ";
const char* const VM_ENTRY_DUPLICATE_TEXT = "This caller already has an entry in your address book. ";
const char* const VM_FOLDER_PATH_CUT_PREFIX = "Address Book=>...=>";

const char* const VM_ENTRY_SPECIAL_WORD_PREFIX = "Use ";
const char* const VM_ENTRY_SPECIAL_WORD_SUFFIX = "As Phone Number.";
const char* const VM_ENTRY_NOTIFY_TEXT = "Notify me if this person calls.";
const char* const VM_ENTRY_BULK_CALL_TEXT = "Sent to Bulk Call folder if this person calls.";
const char* const VM_ENTRY_VALIDATING_TEXT = "Please wait while validating your address book entry...";

const VM_SEntryFieldLabel VM_ENTRY_FIELD_LABELS[5] = {
    {VM_CAddrEntry::kAttrNotes, "Notes:"},
    {VM_CAddrEntry::kAttrName, "Name:"},
    {VM_CAddrEntry::kAttrOffice, "Office Phone Number:"},
    {VM_CAddrEntry::kAttrHome, "Home Phone Number:"},
    {VM_CAddrEntry::kAttrCellular, "Cellular Phone Number:"},
};

const VM_SCallHandlingChoice VM_CALL_HANDLING_CHOICES[4] = {
    {"Play the following greeting and take a message.", 0},
    {"Block this caller by hanging up without playing greeting.", VM_CAddrEntry::kFlagBlockHangUp},
    {"Block this caller by playing a special anti-telemarketer tone. ", VM_CAddrEntry::kFlagBlockTone},
    {"Block this caller by playing the following announcement.", VM_CAddrEntry::kFlagBlockAnnounce},
};

const char* const VM_ADD_CALLER_COMMAND_TEXT = "Add selected caller to address book.";
const char* const VM_BLOCK_CALLER_COMMAND_TEXT = "Block selected caller from calling in the future.";
const char* const VM_NEW_ENTRY_TITLE = "New";
const char* const VM_SELECT_FOLDER_TITLE = "Select Folder";
const char* const VM_SELECT_FOLDER_TEXT =
    "Please select where to save this address book entry that you have just entered.";
const char* const VM_SELECT_FOLDER_BACK_TEXT = "<< Back";

namespace {

constexpr const char* kPathSeparator = "=>";

std::string Trimmed(const std::string& text) {
    std::string copy = text;
    VM_TrimSpaces(copy.data());
    return copy.c_str();
}

std::string AttrOrEmpty(const VM_CItem& item, int index) { return item.VM_GetAttrText(index).value_or(""); }

}  // namespace

VM_SAddrEntryForm VM_FormFromEntry(const VM_CAddrEntry& entry) {
    VM_SAddrEntryForm form;
    form.name = AttrOrEmpty(entry, VM_CAddrEntry::kAttrName);
    form.office = AttrOrEmpty(entry, VM_CAddrEntry::kAttrOffice);
    form.home = AttrOrEmpty(entry, VM_CAddrEntry::kAttrHome);
    form.cellular = AttrOrEmpty(entry, VM_CAddrEntry::kAttrCellular);
    form.notes = AttrOrEmpty(entry, VM_CAddrEntry::kAttrNotes);
    int special = VM_GetCallerIDClass(form.office.c_str());
    if (special != 0) {
        form.useSpecialWord = true;
        form.specialWord = special;
    }
    DWORD flags = entry.VM_GetFlags();
    form.blockValue = flags & VM_CAddrEntry::kBlockMask;
    form.notify = (flags & VM_CAddrEntry::kFlagNotify) != 0;
    form.bulkCall = (flags & VM_CAddrEntry::kFlagBulkCall) != 0;
    return form;
}

std::optional<std::string> VM_CheckEntryForm(const VM_SAddrEntryForm& form, bool entryHasGreeting) {
    if (!form.useSpecialWord) {
        bool anyNumber = VM_IsValidPhone(form.office.c_str()) || VM_IsValidPhone(form.home.c_str()) ||
                         VM_IsValidPhone(form.cellular.c_str());
        if (!VM_IsValidName(form.name.c_str()) || !anyNumber) return std::string(VM_ENTRY_INVALID_TEXT);
    }
    if (form.blockValue == VM_CAddrEntry::kFlagBlockAnnounce && form.recordedFile.empty() && !entryHasGreeting) {
        return std::string(VM_ENTRY_NO_ANNOUNCEMENT_TEXT);
    }
    return std::nullopt;
}

std::optional<std::string> VM_CheckDuplicateEntry(const VM_CAppCfg* cfg, const VM_SAddrEntryForm& form,
                                                  std::optional<int32_t> editedFolder,
                                                  std::optional<int32_t> editedEntry) {
    if (cfg == nullptr) return std::nullopt;
    VM_CAddressBook book(cfg);
    int mode = 0;
    if (editedFolder && editedEntry) {
        book.VM_Exclude(*editedFolder, *editedEntry);
        mode = VM_CAddressBook::kModeSkipExcluded;
    }
    const char* word = VM_GetCallerIDText(form.specialWord);
    std::vector<std::string> numbers;
    if (form.useSpecialWord) {
        if (word != nullptr) numbers.push_back(word);
    } else {
        numbers = {form.office, form.home, form.cellular};
    }
    for (const std::string& number : numbers) {
        int folder = book.VM_LookupFolder(number.c_str(), mode);
        if (folder < 0) continue;
        std::optional<std::string> path = book.VM_GetFolderPath(folder);
        if (!path) return std::string(VM_ENTRY_DUPLICATE_TEXT);
        // The found folder's own name is never cut, so the message is built
        // whole rather than in a buffer sized for the cut path.
        const std::string text = VM_ENTRY_DUPLICATE_IN_FOLDER_TEXT;
        const size_t at = text.find("%s");
        return text.substr(0, at) + *path + text.substr(at + 2);
    }
    return std::nullopt;
}

// Walks from the folder up to the root, each folder once, so a damaged
// parent link cannot loop.
std::optional<std::string> VM_GetAddrFolderPath(const VM_CTree& tree, int32_t folderId) {
    const VM_CNode* node = tree.VM_Find(folderId);
    if (node == nullptr || node->m_szName.empty()) return std::nullopt;
    const size_t limit = kFolderPathLimit - std::string(VM_FOLDER_PATH_CUT_PREFIX).size();
    std::string path = node->m_szName;
    std::set<int32_t> visited = {node->m_id};
    for (node = tree.VM_Find(node->m_idParent); node != nullptr; node = tree.VM_Find(node->m_idParent)) {
        if (!visited.insert(node->m_id).second) break;
        if (node->m_szName.empty()) return std::nullopt;
        bool isRoot = node->m_idParent < 0;
        if (!isRoot && path.size() + node->m_szName.size() + 2 > limit) {
            return VM_FOLDER_PATH_CUT_PREFIX + path;
        }
        path = node->m_szName + kPathSeparator + path;
    }
    return path;
}

namespace {

// Copies the dialog's recording over the entry's greeting, or to a new
// greeting name that becomes the entry's.
bool StoreRecording(VM_CAddrEntry& entry, const std::string& recorded, const VM_CAppCfg& cfg) {
    std::optional<std::string> target = entry.VM_GetGreetingFileText();
    const bool fresh = !target;
    if (fresh) {
        std::unique_ptr<char[]> name(cfg.VM_GetNewGreetingFileName());
        if (!name) return false;
        target = name.get();
    }
    if (!CopyFileA(recorded.c_str(), target->c_str(), FALSE)) {
        if (fresh) DeleteFileA(target->c_str());  // the name reserved for it
        return false;
    }
    entry.VM_SetAttr(VM_CAddrEntry::kAttrGreeting, target->c_str());
    return true;
}

}  // namespace

bool VM_StoreEntryForm(VM_CAddrEntry& entry, const VM_SAddrEntryForm& form, const VM_CAppCfg& cfg) {
    if (!form.recordedFile.empty()) {
        if (!StoreRecording(entry, form.recordedFile, cfg)) return false;
    }
    const char* word = form.useSpecialWord ? VM_GetCallerIDText(form.specialWord) : nullptr;
    auto text = [&](const std::string& typed) { return word != nullptr ? std::string(word) : Trimmed(typed); };
    entry.VM_SetAttr(VM_CAddrEntry::kAttrName, text(form.name).c_str());
    entry.VM_SetAttr(VM_CAddrEntry::kAttrHome, text(form.home).c_str());
    entry.VM_SetAttr(VM_CAddrEntry::kAttrOffice, text(form.office).c_str());
    entry.VM_SetAttr(VM_CAddrEntry::kAttrCellular, text(form.cellular).c_str());
    entry.VM_SetAttr(VM_CAddrEntry::kAttrNotes, form.notes.c_str());

    entry.VM_ClearFlags(VM_CAddrEntry::kBlockMask);
    entry.VM_AddFlags(form.blockValue & VM_CAddrEntry::kBlockMask);
    if (cfg.m_nNotifyMode != 0) {
        if (form.notify) {
            entry.VM_AddFlags(VM_CAddrEntry::kFlagNotify);
        } else {
            entry.VM_ClearFlags(VM_CAddrEntry::kFlagNotify);
        }
    }
    if (form.bulkCall) {
        entry.VM_AddFlags(VM_CAddrEntry::kFlagBulkCall);
    } else {
        entry.VM_ClearFlags(VM_CAddrEntry::kFlagBulkCall);
    }
    if (!form.recordedFile.empty()) DeleteFileA(form.recordedFile.c_str());
    return true;
}

VM_CAddrEntry* VM_NewEntryFromCall(const VM_CCallInfo& record, bool block) {
    auto* entry = new VM_CAddrEntry();
    std::optional<std::string> name = record.VM_GetAttrText(VM_CCallInfo::kAttrName);
    std::optional<std::string> number = record.VM_GetAttrText(VM_CCallInfo::kAttrNumber);
    entry->VM_SetAttr(VM_CAddrEntry::kAttrName, name ? name->c_str() : nullptr);
    entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, number ? number->c_str() : nullptr);
    if (block) {
        entry->VM_ClearFlags(VM_CAddrEntry::kFlagNotify);
        entry->VM_AddFlags(VM_CAddrEntry::kFlagBlockTone | VM_CAddrEntry::kFlagBulkCall);
    }
    return entry;
}

bool VM_FileNewEntry(const VM_CAppCfg& cfg, VM_CList* shown, int32_t folderId, VM_CAddrEntry* entry) {
    if (entry == nullptr) return false;
    if (shown != nullptr && shown->m_id == folderId) return shown->VM_Append(entry);
    VM_CAddrEntry prototype;
    std::unique_ptr<VM_CList> list = VM_OpenFolderList(cfg, VM_ETreeKind::kAddresses, &prototype, folderId);
    if (!list || !list->VM_CanSave() || !list->VM_Append(entry)) return false;
    if (list->VM_Save()) return true;
    list->VM_Remove(entry, false);
    return false;
}

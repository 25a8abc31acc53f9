#include "store/address_book.h"

#include <memory>

#include "store/addr_entry.h"
#include "store/address_entry_form.h"
#include "store/app_config.h"
#include "store/list.h"
#include "store/phone_number.h"
#include "store/stored_file.h"
#include "telephony/var_structs.h"

namespace {

std::string TreeFile(const VM_CAppCfg* cfg) {
    if (cfg == nullptr) return "";
    std::unique_ptr<char[]> path(cfg->VM_GetTreeFileName(2));
    return path ? std::string(path.get()) : std::string();
}

// A number of an entry matches the looked-up one: the same special word, or
// for a phone number a valid number that matches it (normalised is the
// looked-up number's normal form).
bool NumberMatches(const char* stored, const std::string& normalised, int special) {
    if (stored == nullptr) return false;
    if (special != 0) return VM_GetCallerIDClass(stored) == special;
    return VM_NormalizedPhoneMatch(VM_NormalizePhone(stored), normalised);
}

}  // namespace

VM_CAddressBook::VM_CAddressBook(const VM_CAppCfg* cfg)
    : m_cfg(cfg), m_treeFile(TreeFile(cfg)), m_tree(new VM_CTreeItem(), nullptr) {
    VM_LoadTree();
}

void VM_CAddressBook::VM_Reload() {
    std::lock_guard<std::mutex> guard(m_lock);
    VM_LoadTree();
    VM_ClearCache();
}

// A missing or unreadable file leaves the book empty.
void VM_CAddressBook::VM_LoadTree() {
    std::string bytes;
    if (m_treeFile.empty() || VM_ReadStoredFile(m_treeFile.c_str(), bytes) != VM_FileState::kRead) {
        m_tree.VM_Clear();
        return;
    }
    m_tree.VM_LoadBytes(bytes);
}

void VM_CAddressBook::VM_ClearCache() {
    m_lastNumber.reset();
    m_lastMode = 0;
    m_result = Result{};
}

bool VM_CAddressBook::VM_LookupFlags(const char* number, DWORD* flags) {
    std::lock_guard<std::mutex> guard(m_lock);
    const Result* result = VM_Lookup(number, kModeUseCache);
    if (result == nullptr || !result->found) return false;
    if (flags != nullptr) *flags = result->flags;
    return true;
}

std::optional<std::string> VM_CAddressBook::VM_LookupName(const char* number) {
    std::lock_guard<std::mutex> guard(m_lock);
    const Result* result = VM_Lookup(number, kModeUseCache);
    return result != nullptr && result->found ? result->name : std::nullopt;
}

std::optional<std::string> VM_CAddressBook::VM_LookupGreeting(const char* number) {
    std::lock_guard<std::mutex> guard(m_lock);
    const Result* result = VM_Lookup(number, kModeUseCache);
    return result != nullptr && result->found ? result->greeting : std::nullopt;
}

int VM_CAddressBook::VM_LookupFolder(const char* number, int mode) {
    std::lock_guard<std::mutex> guard(m_lock);
    const Result* result = VM_Lookup(number, mode);
    return result != nullptr && result->found ? result->folder : -1;
}

void VM_CAddressBook::VM_Exclude(int32_t folderId, int32_t entryId) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_excludeFolder = folderId;
    m_excludeEntry = entryId;
}

std::optional<std::string> VM_CAddressBook::VM_GetFolderPath(int32_t folderId) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return VM_GetAddrFolderPath(m_tree, folderId);
}

std::optional<std::string> VM_CAddressBook::VM_GetMatchedNumber() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_result.matched;
}

const VM_CAddressBook::Result* VM_CAddressBook::VM_Lookup(const char* number, int mode) {
    if (number == nullptr) return nullptr;
    int special = VM_GetCallerIDClass(number);
    if (special == 0 && !VM_IsValidPhone(number)) return nullptr;
    if (!VM_CacheHolds(number, special, mode)) {
        m_lastNumber = number;
        m_lastMode = mode;
        VM_Search(number, special, mode);
    }
    return &m_result;
}

// A search that skipped an entry does not answer one that would not, and
// the other way round.
bool VM_CAddressBook::VM_CacheHolds(const std::string& number, int special, int mode) const {
    if (!(mode & kModeUseCache) || !m_lastNumber) return false;
    if ((m_lastMode & kModeSkipExcluded) != (mode & kModeSkipExcluded)) return false;
    if (special != 0) return VM_GetCallerIDClass(m_lastNumber->c_str()) == special;
    return VM_PhoneMatch(m_lastNumber->c_str(), number.c_str());
}

void VM_CAddressBook::VM_Search(const std::string& number, int special, int mode) {
    m_result = Result{};
    if (m_cfg == nullptr) return;
    const std::string normalised = VM_NormalizePhone(number.c_str());
    VM_CAddrEntry prototype;
    for (int i = 0; i < m_tree.VM_GetCount(); ++i) {
        const VM_CNode* folder = m_tree.VM_GetAt(i);
        std::unique_ptr<char[]> file(m_cfg->VM_GetAddressListFileName(folder->m_id));
        if (!file) continue;
        VM_CList list(&prototype, file.get(), 0);  // read only: never saved
        for (int k = 0; k < list.VM_GetCount(); ++k) {
            auto* entry = static_cast<VM_CAddrEntry*>(list.VM_GetAt(k));
            if ((mode & kModeSkipExcluded) && folder->m_id == m_excludeFolder && entry->m_id == m_excludeEntry) {
                continue;
            }
            for (int index : VM_CAddrEntry::kLookupOrder) {
                std::optional<std::string> stored = entry->VM_GetAttrText(index);
                if (!NumberMatches(stored ? stored->c_str() : nullptr, normalised, special)) continue;
                m_result.found = true;
                m_result.folder = folder->m_id;
                m_result.flags = entry->VM_GetFlags();
                m_result.name = entry->VM_GetAttrText(VM_CAddrEntry::kAttrName);
                m_result.greeting = entry->VM_GetGreetingFileText();
                m_result.matched = stored;
                return;
            }
        }
    }
}

// The address-book folders and the lookup of a caller's number in the
// entries of all of them, with a cache of the last search.
//
// The answer machine reloads and looks up on the main thread while the call
// flow looks up on the call's worker thread, so every lookup and reload
// holds the book's lock and hands out copies. The folder tree is the book's
// own: nothing reaches it past the lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/win32/types.h"
#include "store/tree.h"

class VM_CAppCfg;

class VM_CAddressBook {
public:
    static constexpr int kModeUseCache = 0x1;
    static constexpr int kModeSkipExcluded = 0x2;

    // Loads the address tree ("QvTA.Cfg"); without a configuration the book
    // is empty and finds nothing. The book only reads the tree file: the
    // main window's tree view owns it.
    explicit VM_CAddressBook(const VM_CAppCfg* cfg);
    VM_CAddressBook(const VM_CAddressBook&) = delete;
    VM_CAddressBook& operator=(const VM_CAddressBook&) = delete;

    // Loads the tree file again (also after it could not be read before)
    // and forgets the last search.
    void VM_Reload();
    // True when an entry matches; flags (when given) receives its flags.
    bool VM_LookupFlags(const char* number, DWORD* flags);
    // The matching entry's name.
    std::optional<std::string> VM_LookupName(const char* number);
    // The matching entry's greeting file, when that file exists.
    std::optional<std::string> VM_LookupGreeting(const char* number);
    // The folder of the matching entry, or -1 (also for a number that is
    // neither a phone number nor a special word).
    int VM_LookupFolder(const char* number, int mode);
    // The entry that lookups with kModeSkipExcluded pass over.
    void VM_Exclude(int32_t folderId, int32_t entryId);
    // The folder's path as VM_GetAddrFolderPath gives it, read under the lock.
    std::optional<std::string> VM_GetFolderPath(int32_t folderId) const;
    // The entry's number that matched in the last search.
    std::optional<std::string> VM_GetMatchedNumber() const;

private:
    struct Result {
        bool found = false;
        int32_t folder = -1;
        DWORD flags = 0;
        std::optional<std::string> name;
        std::optional<std::string> greeting;
        std::optional<std::string> matched;
    };

    // Under the lock: the result for the number, from the cache when the mode
    // allows; null when the number can match nothing.
    const Result* VM_Lookup(const char* number, int mode);
    bool VM_CacheHolds(const std::string& number, int special, int mode) const;
    void VM_Search(const std::string& number, int special, int mode);
    void VM_ClearCache();
    void VM_LoadTree();

    const VM_CAppCfg* m_cfg;
    std::string m_treeFile;
    mutable std::mutex m_lock;
    VM_CTree m_tree;
    std::optional<std::string> m_lastNumber;
    int m_lastMode = 0;
    int32_t m_excludeFolder = -1;
    int32_t m_excludeEntry = -1;
    Result m_result;
};

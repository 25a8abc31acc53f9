// An ordered list of records, optionally tied to its file: the call log of
// one message folder, or the address list of one address folder.
//
// File layout (little-endian): int32 list identifier, int32 next identifier,
// int32 record count, then each record as VM_CItem::VM_Write stores it.
//
// Only a missing file means an empty list. A file that exists but cannot be
// read whole keeps what could be read, and the list forgets its path so that
// it never saves over the file (the user may still recover it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/types.h"
#include "store/item.h"

// Gives a record's sort key for a column of a list view.
class VM_ISortCbk {
public:
    virtual ~VM_ISortCbk() = default;
    // The key text, or nullopt when the record has none for the column.
    virtual std::optional<std::string> VM_GetSortKey(const VM_CItem& item, int column) = 0;
};

constexpr int kSortAscending = 1;
constexpr int kSortDescending = 2;

// The comparison of the list views: keys compare byte-wise after case
// folding; in ascending order a lower key comes first and a record without a
// key comes before all with keys, in descending order the reverse.
bool VM_SortsBefore(const std::optional<std::string>& a, const std::optional<std::string>& b, int order);

class VM_CList {
public:
    static constexpr DWORD kFileBacked = 0x1;
    static constexpr DWORD kChanged = 0x2;
    static constexpr DWORD kCursorStale = 0x4;
    static constexpr int kMaxRecords = 0x3FFFFFFF;

    // The prototype is not owned and must outlive the list. With a file the
    // list loads it at once.
    VM_CList(const VM_CItem* prototype, const char* file, DWORD flags);
    // A changed file-backed list saves itself, then destroys its records
    // (their files stay).
    virtual ~VM_CList();
    VM_CList(const VM_CList&) = delete;
    VM_CList& operator=(const VM_CList&) = delete;

    // True when the file was read whole or does not exist.
    bool VM_Load();
    // True when the file now holds the list (an empty list deletes it).
    bool VM_Save();
    // The file's contents: parsing and building them, without the file.
    bool VM_LoadBytes(const std::string& bytes);
    std::string VM_SaveBytes() const;

    // Takes ownership and gives the record the next identifier.
    bool VM_Append(VM_CItem* record);
    int VM_GetCount() const { return static_cast<int>(m_items.size()); }
    VM_CItem* VM_GetAt(int index) const;
    VM_CItem* VM_FindById(int32_t id) const;
    int VM_IndexOf(const VM_CItem* record) const;
    // Removing without deleting hands the record back to the caller.
    bool VM_RemoveAt(int index, bool deleteIt);
    bool VM_Remove(VM_CItem* record, bool deleteIt);
    // Puts a record taken out with VM_RemoveAt(index, false) back where it
    // was, with the identifier it had.
    bool VM_PutBack(int index, VM_CItem* record);
    // Removes every record with VM_Delete (their files go too).
    void VM_RemoveAll();
    void VM_Sort(int column, int order, VM_ISortCbk* sortCallback);

    const char* VM_GetFile() const { return m_szFile ? m_szFile->c_str() : nullptr; }
    const VM_CItem* VM_GetPrototype() const { return m_prototype; }
    // A file-backed list that forgot its damaged file cannot keep records.
    bool VM_CanSave() const { return (m_dwFlags & kFileBacked) && m_szFile; }
    bool VM_HasChanged() const { return (m_dwFlags & kChanged) != 0; }
    // Set when the file could not be read whole.
    bool VM_IsDamaged() const { return m_bDamaged; }

    int32_t m_id = -1;
    int32_t m_nextId = 1;
    DWORD m_dwFlags;

private:
    void VM_Clear();
    void VM_RaiseNextId(int32_t usedId);
    void VM_MarkDamaged(const char* why);

    std::optional<std::string> m_szFile;
    std::vector<VM_CItem*> m_items;
    const VM_CItem* m_prototype;
    bool m_bDamaged = false;
};

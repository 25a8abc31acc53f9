// A record of numbered text attributes: the base of call records and
// address-book entries. Attribute 0 holds the record's flags as decimal text.
//
// The record of the call in progress is filled by the main thread and read
// and written by the call's worker thread, so every attribute access takes
// the record's own lock. A pointer returned by VM_GetAttr stays valid only
// until that attribute is next set; code that shares a record between
// threads uses VM_GetAttrText, which returns a copy.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/win32/types.h"
#include "store/byte_stream.h"

class VM_CItem {
public:
    static constexpr int kMaxAttributes = 15;
    // Longer texts would be written but skipped when read back, so they are
    // cut when set.
    static constexpr int kMaxAttrLength = 998;

    explicit VM_CItem(uint8_t count);
    virtual ~VM_CItem() = default;
    VM_CItem& operator=(const VM_CItem&) = delete;

    // A new record of the same kind with copies of all attributes and
    // identifier 0, or null.
    virtual VM_CItem* VM_Clone() const;
    // Destroys the record together with what it owns outside memory.
    virtual void VM_Delete();
    // The text, or null when absent or the index is outside 0..count-1.
    virtual const char* VM_GetAttr(int index) const;
    // Stores a copy (cut to kMaxAttrLength), or clears it for null text.
    virtual void VM_SetAttr(int index, const char* text);
    virtual void VM_Write(VM_CByteWriter& out) const;
    // False when the record is damaged (a length past the end or negative);
    // what could be read is kept.
    virtual bool VM_Read(VM_CByteReader& in);

    std::optional<std::string> VM_GetAttrText(int index) const;
    DWORD VM_GetFlags() const;
    void VM_AddFlags(DWORD bits);
    void VM_ClearFlags(DWORD bits);

    int32_t m_id = 0;
    uint8_t m_nCount;

protected:
    VM_CItem(const VM_CItem& other);
    std::recursive_mutex& VM_Lock() const { return m_lock; }

    // Records that own a wave file (a message, a personal greeting) name it
    // in one attribute. The name while the file exists; a name whose file is
    // gone is cleared, one whose file cannot be looked at now is kept.
    const char* VM_GetOwnedFile(int index);
    std::optional<std::string> VM_GetOwnedFileText(int index);
    // Whether the file named in the attribute exists, changing nothing.
    bool VM_HasOwnedFile(int index) const;
    // Gives copy a copy of the file of its own under a unique name with the
    // prefix; false when the file could not be copied.
    static bool VM_CopyOwnedFile(VM_CItem& copy, int index, const char* prefix);
    void VM_DeleteOwnedFile(int index);
    int VM_AttrCount() const { return m_nCount < kMaxAttributes ? m_nCount : kMaxAttributes; }

private:
    void VM_StoreFlags(DWORD flags);

    std::optional<std::string> m_attrs[kMaxAttributes];
    mutable std::recursive_mutex m_lock;
};

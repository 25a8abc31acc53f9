// The search of the "Find" dialog, for call records and address entries.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "store/list.h"

enum class VM_ERecordKind { kCallRecord, kAddressEntry };

// Positions of the dialog's "In:" list.
enum VM_EFindField { kFindAllFields = 0, kFindName = 1, kFindPhoneNumber = 2, kFindNotes = 3 };

// Remembered for the rest of the run; these are the first-use values.
struct VM_SFindOptions {
    std::string text;
    int field = kFindAllFields;
    bool matchCase = false;
    bool down = true;
};

// The attributes compared for a field, in the order they are tried.
std::vector<int> VM_GetFindAttributes(VM_ERecordKind kind, int field);

// The first record after (down) or before (up) the selected position that
// has a field containing the search text (trimmed of blanks; in lower case
// on both sides without "Match case"). With no selection (-1) the search
// starts at the first or the last record; it never wraps. -1 when none.
int VM_FindInList(const VM_CList& list, VM_ERecordKind kind, const VM_SFindOptions& options, int selected);

// The "Find what:" history: the last 5 texts, newest first, each at most 99
// characters.
class VM_CFindHistory {
public:
    static constexpr size_t kMaxTexts = 5;
    static constexpr size_t kMaxLength = 99;

    void VM_Add(const std::string& text);
    const std::deque<std::string>& VM_GetTexts() const { return m_texts; }

private:
    std::deque<std::string> m_texts;
};

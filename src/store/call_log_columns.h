// What the call-log list view shows: which columns exist, their titles and
// widths, each cell's text and each column's sort key. The view only draws.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/types.h"
#include "store/call_info.h"
#include "store/list.h"

enum class VM_ECallColumn { kName, kNumber, kMailbox, kTime, kRecorded };

struct VM_SCallColumn {
    VM_ECallColumn kind;
    const char* title;
    int width;
};

// The columns in creation order, for the configuration's option bits: the
// caller columns with bit 0x200, "Mailbox" when bit 0x400 (single mailbox)
// is clear, "Time" and "Voice Recorded" always.
std::vector<VM_SCallColumn> VM_GetCallLogColumns(DWORD cfgFlags);

std::string VM_GetCallCellText(VM_CCallInfo& record, VM_ECallColumn column);
// "Time" sorts by the stored text, which orders chronologically.
std::optional<std::string> VM_GetCallSortKey(const VM_CCallInfo& record, VM_ECallColumn column);

// A record without the read flag is drawn in bold.
inline bool VM_IsDrawnBold(const VM_CCallInfo& record) { return !record.VM_IsRead(); }

// Sort keys by column position among the columns present (as the stored
// sort column counts them).
class VM_CCallLogSort : public VM_ISortCbk {
public:
    explicit VM_CCallLogSort(DWORD cfgFlags) : m_columns(VM_GetCallLogColumns(cfgFlags)) {}
    std::optional<std::string> VM_GetSortKey(const VM_CItem& item, int column) override;

private:
    std::vector<VM_SCallColumn> m_columns;
};

#include "store/call_log_columns.h"

#include <cstdlib>

#include "store/app_config.h"

std::vector<VM_SCallColumn> VM_GetCallLogColumns(DWORD cfgFlags) {
    std::vector<VM_SCallColumn> columns;
    if (cfgFlags & VM_FLAG_CALLER_COLUMNS) {
        columns.push_back({VM_ECallColumn::kName, "Caller Name", 120});
        columns.push_back({VM_ECallColumn::kNumber, "Phone Number", 150});
    }
    if (!(cfgFlags & VM_FLAG_SINGLE_MAILBOX)) columns.push_back({VM_ECallColumn::kMailbox, "Mailbox", 80});
    columns.push_back({VM_ECallColumn::kTime, "Time", 180});
    columns.push_back({VM_ECallColumn::kRecorded, "Voice Recorded", 120});
    return columns;
}

std::string VM_GetCallCellText(VM_CCallInfo& record, VM_ECallColumn column) {
    switch (column) {
        case VM_ECallColumn::kName:
            return record.VM_GetAttrText(VM_CCallInfo::kAttrName).value_or("");
        case VM_ECallColumn::kNumber:
            return record.VM_GetAttrText(VM_CCallInfo::kAttrNumber).value_or("");
        case VM_ECallColumn::kMailbox:
            return std::to_string(record.VM_GetMailbox());
        case VM_ECallColumn::kTime:
            return record.VM_GetDisplayTime();
        case VM_ECallColumn::kRecorded:
            return record.VM_GetRecordedText();
    }
    return std::string();
}

std::optional<std::string> VM_GetCallSortKey(const VM_CCallInfo& record, VM_ECallColumn column) {
    switch (column) {
        case VM_ECallColumn::kName:
            return record.VM_GetAttrText(VM_CCallInfo::kAttrName);
        case VM_ECallColumn::kNumber:
            return record.VM_GetAttrText(VM_CCallInfo::kAttrNumber);
        case VM_ECallColumn::kMailbox: {
            std::optional<std::string> text = record.VM_GetAttrText(VM_CCallInfo::kAttrMailbox);
            return std::to_string(text ? std::atoi(text->c_str()) : 0);
        }
        case VM_ECallColumn::kTime:
            return record.VM_GetAttrText(VM_CCallInfo::kAttrTime);
        case VM_ECallColumn::kRecorded:
            return std::string(record.VM_PeekRecordedText());
    }
    return std::nullopt;
}

std::optional<std::string> VM_CCallLogSort::VM_GetSortKey(const VM_CItem& item, int column) {
    const auto* record = dynamic_cast<const VM_CCallInfo*>(&item);
    if (record == nullptr || column < 0 || column >= static_cast<int>(m_columns.size())) return std::nullopt;
    return VM_GetCallSortKey(*record, m_columns[static_cast<size_t>(column)].kind);
}

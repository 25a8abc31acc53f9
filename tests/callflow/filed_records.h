// The call records the answer machine posts to the main window, kept by the
// test that plays the main window.
#pragma once

#include <memory>
#include <vector>

#include "callflow/answer_machine.h"
#include "store/call_info.h"

namespace amtest {

struct FiledRecord {
    int folder;
    std::unique_ptr<VM_CCallInfo> record;
};

// Keeps the record a new-call-record message carries; false for any other.
inline bool KeepFiledRecord(UINT message, WPARAM wParam, LPARAM lParam, std::vector<FiledRecord>& records) {
    if (message != VM_MSG_NEW_CALL_RECORD) return false;
    records.push_back({static_cast<int>(wParam), std::unique_ptr<VM_CCallInfo>(reinterpret_cast<VM_CCallInfo*>(lParam))});
    return true;
}

}  // namespace amtest

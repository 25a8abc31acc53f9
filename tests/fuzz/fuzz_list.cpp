// List files: whatever the bytes, loading neither crashes, leaks nor hangs,
// and what a loaded list saves loads back whole and saves the same again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/call_info.h"
#include "store/call_log_columns.h"
#include "store/list.h"
#include "store/list_search.h"

namespace {

void CheckRoundTrip(const VM_CItem& prototype, const std::string& bytes) {
    VM_CList list(&prototype, nullptr, 0);
    list.VM_LoadBytes(bytes);
    std::string saved = list.VM_SaveBytes();
    VM_CList again(&prototype, nullptr, 0);
    if (!again.VM_LoadBytes(saved) || again.VM_SaveBytes() != saved) std::abort();
    if (again.VM_GetCount() != list.VM_GetCount()) std::abort();
}

void ExerciseCallRecords(const std::string& bytes) {
    VM_CCallInfo prototype;
    VM_CList list(&prototype, nullptr, 0);
    list.VM_LoadBytes(bytes);
    for (int i = 0; i < list.VM_GetCount() && i < 64; ++i) {
        auto* record = static_cast<VM_CCallInfo*>(list.VM_GetAt(i));
        int y, mo, d, h, mi;
        record->VM_GetTime(y, mo, d, h, mi);
        record->VM_GetDisplayTime();
        record->VM_GetMailbox();
        record->VM_GetLength();
        if (list.VM_FindById(record->m_id) == nullptr) std::abort();
    }
    VM_CCallLogSort sort(0);
    list.VM_Sort(1, kSortDescending, &sort);
    VM_SFindOptions find;
    find.text = "5";
    VM_FindInList(list, VM_ERecordKind::kCallRecord, find, -1);
    // Appending after a load never reuses a loaded identifier (short of the
    // saturated maximum).
    if (list.m_nextId < 0x7FFFFFFF) {
        auto* added = new VM_CCallInfo;
        if (!list.VM_Append(added)) std::abort();
        for (int i = 0; i + 1 < list.VM_GetCount(); ++i)
            if (list.VM_GetAt(i)->m_id == added->m_id) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    VM_CCallInfo callRecord;
    VM_CItem widest(15);
    CheckRoundTrip(callRecord, bytes);
    CheckRoundTrip(widest, bytes);
    ExerciseCallRecords(bytes);
    return 0;
}

#include "store/list.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "diag/trace.h"
#include "store/byte_stream.h"
#include "store/stored_file.h"

namespace {

int CompareFolded(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool VM_SortsBefore(const std::optional<std::string>& a, const std::optional<std::string>& b, int order) {
    bool descending = order == kSortDescending;
    if (!a || !b) {
        if (!a && !b) return false;
        return descending ? !b : !a;
    }
    int c = CompareFolded(*a, *b);
    return descending ? c > 0 : c < 0;
}

VM_CList::VM_CList(const VM_CItem* prototype, const char* file, DWORD flags)
    : m_dwFlags(flags & kFileBacked), m_prototype(prototype) {
    if (file != nullptr) {
        m_szFile = file;
        VM_Load();
    }
}

VM_CList::~VM_CList() {
    if ((m_dwFlags & kFileBacked) && VM_HasChanged()) VM_Save();
    VM_Clear();
}

void VM_CList::VM_Clear() {
    for (VM_CItem* item : m_items) delete item;
    m_items.clear();
}

void VM_CList::VM_RaiseNextId(int32_t usedId) {
    if (m_nextId > usedId) return;
    m_nextId = usedId == std::numeric_limits<int32_t>::max() ? usedId : usedId + 1;
}

void VM_CList::VM_MarkDamaged(const char* why) {
    m_bDamaged = true;
    // What was read stays; with the file set aside the next save makes a
    // new one. A file that cannot be set aside is never saved over.
    if (m_szFile && (m_dwFlags & kFileBacked) && VM_SetAsideDamagedFile(m_szFile->c_str(), why)) {
        m_dwFlags |= kChanged;
        return;
    }
    VM_TRACE(g_bTraceTapi, "VM_CList::VM_Load: %s: %s; the file will not be saved over",
             m_szFile ? m_szFile->c_str() : "(no file)", why);
    m_szFile.reset();
}

bool VM_CList::VM_Load() {
    VM_Clear();
    m_dwFlags &= ~(kChanged | kCursorStale);
    if (!m_szFile) return true;
    return VM_LoadStoredFile(
        m_szFile->c_str(), [this](const char* why) { VM_MarkDamaged(why); },
        [this](const std::string& bytes) { return VM_LoadBytes(bytes); });
}

bool VM_CList::VM_LoadBytes(const std::string& bytes) {
    VM_Clear();
    VM_CByteReader in(bytes.data(), bytes.size());
    int32_t id = 0, nextId = 0, count = 0;
    if (!in.VM_ReadInt32(id) || !in.VM_ReadInt32(nextId) || !in.VM_ReadInt32(count)) {
        VM_MarkDamaged("header cut short");
        return false;
    }
    m_id = id;
    m_nextId = std::max<int32_t>(nextId, 1);
    if (count < 0 || count > kMaxRecords) {
        VM_MarkDamaged("impossible record count");
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        VM_CItem* item = m_prototype ? m_prototype->VM_Clone() : nullptr;
        if (item == nullptr) {
            VM_MarkDamaged("cannot make a record");
            return false;
        }
        if (!item->VM_Read(in)) {
            delete item;
            VM_MarkDamaged("record cut short or with an impossible length");
            return false;
        }
        m_items.push_back(item);
        VM_RaiseNextId(item->m_id);
    }
    if (!in.VM_AtEnd()) {
        VM_MarkDamaged("bytes after the last counted record");
        return false;
    }
    return true;
}

std::string VM_CList::VM_SaveBytes() const {
    VM_CByteWriter out;
    out.VM_WriteInt32(m_id);
    out.VM_WriteInt32(m_nextId);
    out.VM_WriteInt32(static_cast<int32_t>(m_items.size()));
    for (const VM_CItem* item : m_items) item->VM_Write(out);
    return out.VM_Bytes();
}

bool VM_CList::VM_Save() {
    if (!(m_dwFlags & kFileBacked) || !m_szFile) return false;
    bool saved = m_items.empty() ? VM_DeleteStoredFile(m_szFile->c_str())
                                 : VM_SaveStoredFile(m_szFile->c_str(), VM_SaveBytes());
    if (saved) m_dwFlags &= ~kChanged;
    return saved;
}

bool VM_CList::VM_Append(VM_CItem* record) {
    if (record == nullptr || m_items.size() >= static_cast<size_t>(kMaxRecords)) return false;
    record->m_id = m_nextId;
    VM_RaiseNextId(m_nextId);
    m_items.push_back(record);
    m_dwFlags |= kChanged | kCursorStale;
    return true;
}

VM_CItem* VM_CList::VM_GetAt(int index) const {
    if (index < 0 || index >= VM_GetCount()) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

VM_CItem* VM_CList::VM_FindById(int32_t id) const {
    for (VM_CItem* item : m_items)
        if (item->m_id == id) return item;
    return nullptr;
}

int VM_CList::VM_IndexOf(const VM_CItem* record) const {
    auto it = std::find(m_items.begin(), m_items.end(), record);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool VM_CList::VM_RemoveAt(int index, bool deleteIt) {
    VM_CItem* item = VM_GetAt(index);
    if (item == nullptr) return false;
    m_items.erase(m_items.begin() + index);
    if (deleteIt) item->VM_Delete();
    m_dwFlags |= kChanged | kCursorStale;
    return true;
}

bool VM_CList::VM_Remove(VM_CItem* record, bool deleteIt) { return VM_RemoveAt(VM_IndexOf(record), deleteIt); }

bool VM_CList::VM_PutBack(int index, VM_CItem* record) {
    if (record == nullptr || index < 0 || index > VM_GetCount()) return false;
    m_items.insert(m_items.begin() + index, record);
    m_dwFlags |= kChanged | kCursorStale;
    return true;
}

void VM_CList::VM_RemoveAll() {
    std::vector<VM_CItem*> items;
    items.swap(m_items);
    for (VM_CItem* item : items) item->VM_Delete();
    m_dwFlags |= kChanged | kCursorStale;
}

void VM_CList::VM_Sort(int column, int order, VM_ISortCbk* sortCallback) {
    if (sortCallback == nullptr) return;
    // Keys are taken once per record, not once per comparison.
    std::vector<std::pair<std::optional<std::string>, VM_CItem*>> keyed;
    keyed.reserve(m_items.size());
    for (VM_CItem* item : m_items) keyed.emplace_back(sortCallback->VM_GetSortKey(*item, column), item);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [order](const auto& a, const auto& b) { return VM_SortsBefore(a.first, b.first, order); });
    for (size_t i = 0; i < keyed.size(); ++i) m_items[i] = keyed[i].second;
    m_dwFlags |= kCursorStale;
}

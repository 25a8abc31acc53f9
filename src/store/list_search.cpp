#include "store/list_search.h"

#include <algorithm>
#include <cctype>

namespace {

std::string TrimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Matches(const VM_CItem& item, const std::vector<int>& attributes, const std::string& needle, bool matchCase) {
    for (int index : attributes) {
        std::optional<std::string> field = item.VM_GetAttrText(index);
        if (!field) continue;
        const std::string haystack = matchCase ? *field : Lower(*field);
        if (haystack.find(needle) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::vector<int> VM_GetFindAttributes(VM_ERecordKind kind, int field) {
    bool call = kind == VM_ERecordKind::kCallRecord;
    switch (field) {
        case kFindName:
            return {2};
        case kFindPhoneNumber:
            return call ? std::vector<int>{3} : std::vector<int>{5, 4, 3};
        case kFindNotes:
            return {1};
        default:
            return call ? std::vector<int>{2, 3, 1} : std::vector<int>{2, 5, 4, 3, 1};
    }
}

int VM_FindInList(const VM_CList& list, VM_ERecordKind kind, const VM_SFindOptions& options, int selected) {
    int count = list.VM_GetCount();
    if (count == 0) return -1;
    std::string needle = TrimBlanks(options.text);
    if (!options.matchCase) needle = Lower(needle);
    std::vector<int> attributes = VM_GetFindAttributes(kind, options.field);
    bool hasSelection = selected >= 0 && selected < count;
    int step = options.down ? 1 : -1;
    int start = hasSelection ? selected + step : (options.down ? 0 : count - 1);
    for (int i = start; i >= 0 && i < count; i += step)
        if (Matches(*list.VM_GetAt(i), attributes, needle, options.matchCase)) return i;
    return -1;
}

void VM_CFindHistory::VM_Add(const std::string& text) {
    std::string entry = text.substr(0, kMaxLength);
    auto known = std::find(m_texts.begin(), m_texts.end(), entry);
    if (known != m_texts.end()) m_texts.erase(known);
    m_texts.push_front(entry);
    if (m_texts.size() > kMaxTexts) m_texts.pop_back();
}

#include "store/item.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/wave_file_names.h"
#include "platform/win32/errors.h"
#include "platform/win32/files.h"

namespace {

bool FileExists(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Only a file that is not there may lose its link: one that cannot be looked
// at now (permissions, an I/O error) may be there again later.
bool FileIsMissing(const char* path) {
    if (path == nullptr || path[0] == '\0') return true;
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

VM_CItem::VM_CItem(uint8_t count) : m_nCount(count > kMaxAttributes ? kMaxAttributes : count) {}

VM_CItem::VM_CItem(const VM_CItem& other) : m_id(0), m_nCount(other.m_nCount) {
    std::lock_guard<std::recursive_mutex> guard(other.m_lock);
    for (int i = 0; i < kMaxAttributes; ++i) m_attrs[i] = other.m_attrs[i];
}

VM_CItem* VM_CItem::VM_Clone() const { return new VM_CItem(*this); }

void VM_CItem::VM_Delete() { delete this; }

const char* VM_CItem::VM_GetAttr(int index) const {
    if (index < 0 || index >= VM_AttrCount()) return nullptr;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_attrs[index] ? m_attrs[index]->c_str() : nullptr;
}

void VM_CItem::VM_SetAttr(int index, const char* text) {
    if (index < 0 || index >= VM_AttrCount()) return;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (text == nullptr) {
        m_attrs[index].reset();
        return;
    }
    m_attrs[index].emplace(text, strnlen(text, kMaxAttrLength));
}

std::optional<std::string> VM_CItem::VM_GetAttrText(int index) const {
    if (index < 0 || index >= VM_AttrCount()) return std::nullopt;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_attrs[index];
}

void VM_CItem::VM_Write(VM_CByteWriter& out) const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    out.VM_WriteInt32(m_id);
    out.VM_WriteByte(static_cast<uint8_t>(VM_AttrCount()));
    for (int i = 0; i < VM_AttrCount(); ++i) out.VM_WriteCounted(m_attrs[i] ? *m_attrs[i] : std::string());
}

bool VM_CItem::VM_Read(VM_CByteReader& in) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& attr : m_attrs) attr.reset();
    uint8_t stored = 0;
    if (!in.VM_ReadInt32(m_id) || !in.VM_ReadByte(stored)) return false;
    // A record may hold more attributes than this kind has (another version
    // wrote it): all are read, the first m_nCount kept.
    for (int i = 0; i < stored; ++i) {
        int32_t length = 0;
        if (!in.VM_ReadInt32(length) || length < 0) return false;
        if (length == 0) continue;
        if (length > kMaxAttrLength || i >= VM_AttrCount()) {
            if (!in.VM_Skip(static_cast<size_t>(length))) return false;
            continue;
        }
        std::string text;
        if (!in.VM_ReadBytes(static_cast<size_t>(length), text)) return false;
        m_attrs[i] = std::move(text);
    }
    return true;
}

DWORD VM_CItem::VM_GetFlags() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const char* text = VM_GetAttr(0);
    if (text == nullptr || text[0] == '\0') return 0;
    return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
}

void VM_CItem::VM_StoreFlags(DWORD flags) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", flags);
    VM_SetAttr(0, text);
}

void VM_CItem::VM_AddFlags(DWORD bits) {
    if (bits == 0) return;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    VM_StoreFlags(VM_GetFlags() | bits);
}

void VM_CItem::VM_ClearFlags(DWORD bits) {
    if (bits == 0) return;
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    VM_StoreFlags(VM_GetFlags() & ~bits);
}

const char* VM_CItem::VM_GetOwnedFile(int index) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const char* path = VM_GetAttr(index);
    if (path != nullptr && FileExists(path)) return path;
    if (FileIsMissing(path)) VM_SetAttr(index, nullptr);
    return nullptr;
}

std::optional<std::string> VM_CItem::VM_GetOwnedFileText(int index) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const char* path = VM_GetOwnedFile(index);
    if (path == nullptr) return std::nullopt;
    return std::string(path);
}

bool VM_CItem::VM_HasOwnedFile(int index) const {
    std::optional<std::string> path = VM_GetAttrText(index);
    return path && FileExists(path->c_str());
}

bool VM_CItem::VM_CopyOwnedFile(VM_CItem& copy, int index, const char* prefix) {
    std::optional<std::string> path = copy.VM_GetOwnedFileText(index);
    if (!path) return true;
    char* copied = VM_CopyToUniqueWaveName(path->c_str(), prefix);
    if (copied == nullptr) return false;
    copy.VM_SetAttr(index, copied);
    delete[] copied;
    return true;
}

void VM_CItem::VM_DeleteOwnedFile(int index) {
    std::optional<std::string> path = VM_GetAttrText(index);
    if (path && !path->empty()) DeleteFileA(path->c_str());
}

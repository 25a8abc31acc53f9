// The registry's keys and values in memory, and their text form: the
// REGEDIT4 ".reg" layout a person can read and edit.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Example]
//   "Text"="C:\\Folder \"quoted\""
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   @="the key's default value"
//
// Text values that the quoted form cannot carry (line breaks, inner NULs, a
// missing terminator) are written as hex(1): so nothing is lost.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/types.h"

namespace regtext {

struct Value {
    std::string name;  // empty: the key's default value
    DWORD type = 0;
    std::string data;  // raw bytes as stored
};

struct Key {
    std::string name;  // as created, case kept
    std::vector<Value> values;
    // Keyed by the lower-case name: key names compare without case.
    std::map<std::string, std::unique_ptr<Key>> subkeys;

    Value* FindValue(std::string_view valueName);
    const Value* FindValue(std::string_view valueName) const;
    // Replaces the type and data of an existing value (keeping its spelling)
    // or adds the value at the end.
    void SetValue(std::string_view valueName, DWORD type, std::string data);
    // False when there was no such value.
    bool RemoveValue(std::string_view valueName);
    Key* FindSubkey(std::string_view subkeyName);
    // The existing subkey of that name, or a new one.
    Key* AddSubkey(std::string_view subkeyName);
    bool operator==(const Key& other) const;
};

// Keys nest at most this deep below their root, as on the platform we
// mirror; deeper ones are refused, so no file can drive the recursion of
// formatting, comparing or freeing a key past the stack.
constexpr size_t kMaxKeyDepth = 512;

// The two roots the system uses.
enum Root { kLocalMachine = 0, kCurrentUser = 1, kRootCount = 2 };

struct Store {
    Key roots[kRootCount];
    void Clear();
    bool operator==(const Store& other) const;
};

const char* RootName(Root root);
std::string Lower(std::string_view text);
// True when two names are equal without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

// The names of a key path "a\\b\\c"; empty names (doubled or outer
// backslashes) are skipped.
std::vector<std::string_view> SplitPath(std::string_view path);

// Reads the text into an empty store. Returns true when every line was
// understood; otherwise keeps what could be read and, when given, reports
// the 1-based number of the first line that was not.
bool Parse(std::string_view text, Store& store, int* badLine = nullptr);

// The whole store as REGEDIT4 text.
std::string Format(const Store& store);

}  // namespace regtext

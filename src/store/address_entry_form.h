// The data side of the address-entry dialog: what the user typed and chose,
// the checks its OK runs (validity, a recorded announcement, duplicates),
// storing the form into the entry, and the entries made from a call record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32/types.h"
#include "store/addr_entry.h"

class VM_CAppCfg;
class VM_CCallInfo;
class VM_CList;
class VM_CTree;

extern const char* const VM_ENTRY_INVALID_TEXT;
extern const char* const VM_ENTRY_NO_ANNOUNCEMENT_TEXT;
extern const char* const VM_ENTRY_DUPLICATE_IN_FOLDER_TEXT;  // "%s" is the folder path
extern const char* const VM_ENTRY_DUPLICATE_TEXT;

// The dialog's own texts, for the view to show as they are.
extern const char* const VM_ENTRY_SPECIAL_WORD_PREFIX;  // "Use " before the list of special words
extern const char* const VM_ENTRY_SPECIAL_WORD_SUFFIX;  // "As Phone Number." after it
extern const char* const VM_ENTRY_NOTIFY_TEXT;
extern const char* const VM_ENTRY_BULK_CALL_TEXT;
extern const char* const VM_ENTRY_VALIDATING_TEXT;  // shown during the duplicate check

struct VM_SEntryFieldLabel {
    int attribute;
    const char* label;
};
// The labels of the typed fields: notes, name, office, home, cellular.
extern const VM_SEntryFieldLabel VM_ENTRY_FIELD_LABELS[5];

struct VM_SCallHandlingChoice {
    const char* text;
    DWORD blockValue;
};
// The call-handling choices in the order offered; the first takes a message.
extern const VM_SCallHandlingChoice VM_CALL_HANDLING_CHOICES[4];

// Making an entry from the call log: the two commands, the entry dialog's
// title, and the folder dialog that follows its OK.
extern const char* const VM_ADD_CALLER_COMMAND_TEXT;
extern const char* const VM_BLOCK_CALLER_COMMAND_TEXT;
extern const char* const VM_NEW_ENTRY_TITLE;
extern const char* const VM_SELECT_FOLDER_TITLE;
extern const char* const VM_SELECT_FOLDER_TEXT;
extern const char* const VM_SELECT_FOLDER_BACK_TEXT;

// The path of a folder is cut with this prefix when it would grow past
// kFolderPathLimit characters.
extern const char* const VM_FOLDER_PATH_CUT_PREFIX;  // "Address Book=>...=>"
constexpr size_t kFolderPathLimit = 1001;

struct VM_SAddrEntryForm {
    std::string name;
    std::string office;
    std::string home;
    std::string cellular;
    std::string notes;
    // "Use " <word> "As Phone Number.": the caller-ID class 1..5 of the word.
    bool useSpecialWord = false;
    int specialWord = 3;  // "Unknown" is preselected
    // 0 take a message, 0x1 hang up, 0x2 special tone, 0x10 announcement.
    DWORD blockValue = 0;
    bool notify = true;
    bool bulkCall = false;
    // A greeting or announcement recorded in the dialog into a temporary
    // file; empty when none was recorded.
    std::string recordedFile;
};

// The form as the dialog opens it for an entry.
VM_SAddrEntryForm VM_FormFromEntry(const VM_CAddrEntry& entry);

// The message that keeps the dialog open for an invalid name or numbers or
// a missing announcement, or nothing. An entry that already has its
// announcement file counts as having one.
std::optional<std::string> VM_CheckEntryForm(const VM_SAddrEntryForm& form, bool entryHasGreeting);

// Looks the form's numbers (or its special word) up in a fresh address book,
// passing over the edited entry when given; the message that keeps the
// dialog open, or nothing.
std::optional<std::string> VM_CheckDuplicateEntry(const VM_CAppCfg* cfg, const VM_SAddrEntryForm& form,
                                                  std::optional<int32_t> editedFolder,
                                                  std::optional<int32_t> editedEntry);

// The folder's names from the root down, joined by "=>"; nothing when the
// folder is not in the tree or a folder on the way has no name.
std::optional<std::string> VM_GetAddrFolderPath(const VM_CTree& tree, int32_t folderId);

// Stores the form into the entry: the recording (over the entry's greeting
// or to a new greeting name), the trimmed texts and the flags; the
// temporary recording is deleted. False when the recording could not be
// stored: then it is kept, and the entry is left as it was.
bool VM_StoreEntryForm(VM_CAddrEntry& entry, const VM_SAddrEntryForm& form, const VM_CAppCfg& cfg);

// A new entry with the call record's name and number; "block" makes it block
// with the special tone and send the calls to "Bulk Call".
VM_CAddrEntry* VM_NewEntryFromCall(const VM_CCallInfo& record, bool block);

// Files a new entry in a folder: in the shown list when it is that folder's,
// else in the folder's list file, which is saved. The list takes the entry;
// false when it could not be filed (an unwritable list file, or a damaged
// one that could not be set aside), and
// the entry then stays the caller's.
bool VM_FileNewEntry(const VM_CAppCfg& cfg, VM_CList* shown, int32_t folderId, VM_CAddrEntry* entry);

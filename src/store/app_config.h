// Every user setting of the system, and where every stored file lies.
//
// One instance per process, created before any window; every component gets a
// pointer and reads the fields directly. The settings are kept in the binary
// file "Vocerra.Cfg" in the "Config" folder of the program folder, loaded once
// by the constructor and written back after each change and at destruction.
//
// Strings are narrow, owned by the configuration (new[]), and null when
// absent. Path getters return new[] strings the caller frees with delete[],
// or null when the folder cannot be made.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/win32/types.h"
#include "store/shared_text.h"

// Option bits of VM_CAppCfg::m_dwFlags.
constexpr DWORD VM_FLAG_MESSAGE_PAGE = 0x1;       // clear: the address-book page
constexpr DWORD VM_FLAG_TOOLBAR = 0x2;
constexpr DWORD VM_FLAG_FOLDER_TREE = 0x4;
constexpr DWORD VM_FLAG_TIPS = 0x8;
constexpr DWORD VM_FLAG_EMPTY_DELETED = 0x10;     // on exit
constexpr DWORD VM_FLAG_START_IN_INBOX = 0x20;
constexpr DWORD VM_FLAG_ANSWERING = 0x100;
constexpr DWORD VM_FLAG_CALLER_COLUMNS = 0x200;
constexpr DWORD VM_FLAG_SINGLE_MAILBOX = 0x400;   // clear: several mailboxes
constexpr DWORD VM_FLAG_TOLL_SAVER = 0x800;
constexpr DWORD VM_FLAG_PRESCREEN = 0x1000;
constexpr DWORD VM_FLAG_REMOTE_RETRIEVAL = 0x2000;
constexpr DWORD VM_FLAG_ENHANCE_GREETINGS = 0x4000;
constexpr DWORD VM_FLAG_ENHANCE_CALLS = 0x8000;
constexpr DWORD VM_FLAG_MODEM_FIX = 0x40000;
// All bits on except the toll saver and remote retrieval.
constexpr DWORD VM_FLAGS_FIRST_RUN = 0xFFFFD7FFu;

constexpr std::int32_t VM_CFG_VERSION = 8;
constexpr int VM_EMAIL_COUNT = 5;

// Subfolders of the program folder, as VM_GetPath takes them.
extern const char* const VM_FOLDER_CONFIG;    // "/Config"
extern const char* const VM_FOLDER_VOICE;     // "/Voice"
extern const char* const VM_FOLDER_GREETING;  // "/Greeting"
extern const char* const VM_FOLDER_PROMPT;    // "/Prompt"
extern const char* const VM_FOLDER_HELP;      // "/Help"
extern const char* const VM_FOLDER_TEMP;      // "/Temp"
extern const char* const VM_CFG_FILE_NAME;    // "Vocerra.Cfg"

class VM_CAppCfg {
public:
    // Program folder: $VOCERRA_HOME when set, else the executable's folder, or
    // $XDG_DATA_HOME/vocerra (~/.local/share/vocerra) when that one cannot be
    // written. Loads the file; a missing, foreign or unreadable one gives the
    // first-run settings, saved at once (an unreadable one is set aside).
    VM_CAppCfg();
    // The same with the given program folder.
    explicit VM_CAppCfg(const char* programFolder);
    // Read only: the file's settings (the first-run ones without a file),
    // never saved, and a damaged file is left where it is. For a look at
    // the settings while a running copy may be saving them.
    enum class VM_EAccess { kReadOnly };
    VM_CAppCfg(const char* programFolder, VM_EAccess access);
    // Saves once more.
    virtual ~VM_CAppCfg();
    VM_CAppCfg(const VM_CAppCfg&) = delete;
    VM_CAppCfg& operator=(const VM_CAppCfg&) = delete;

    // True when the file was read (a foreign version is not read). A file
    // that cannot be read whole is set aside as damaged, never saved over:
    // the fields it gave keep their values, the others their defaults.
    bool VM_Load();
    // Writes a temporary file beside the old one and renames it over it, so a
    // failure midway leaves the old file whole. True on success. Only the
    // thread that made the configuration (the main thread) saves; elsewhere
    // it refuses, and the change is saved by the main thread's next save.
    bool VM_Save();
    // Remote retrieval, on the call's worker thread: the current password
    // becomes the default one, in one step a save on the main thread never
    // sees half done. False when there is no default password.
    bool VM_ResetPassword();
    void VM_SetFlag(bool on, DWORD mask);
    bool VM_IsFlag(DWORD mask) const { return (m_dwFlags & mask) != 0; }

    // "<program folder><subfolder>/<fileName>", or the folder itself without a
    // file name. Creates the subfolder when missing; null when it cannot.
    char* VM_GetPath(const char* subfolder, const char* fileName) const;

    // "QvTV.Cfg" for kind 1 (message tree), "QvTA.Cfg" for any other kind.
    char* VM_GetTreeFileName(int kind) const;
    char* VM_GetMessageListFileName(int id) const;  // "QvLV%04d.Cfg"; null when id < 0
    char* VM_GetAddressListFileName(int id) const;  // "QvLA%04d.Cfg"; null when id < 0
    // The first unused name, reserved by creating the file empty; a caller
    // that does not record into it deletes it.
    char* VM_GetNewMessageFileName() const;         // "Voice/Msg%04x.Wav"
    char* VM_GetNewGreetingFileName() const;        // "Greeting/Grt%04x.Wav"
    char* VM_GetMainGreetingFileName() const;       // "Greeting/GTMain.wav"
    char* VM_GetMailboxGreetingFileName(int n) const;  // "GTMbox%02d.Wav"; null above 9
    char* VM_GetPromptFileName(int n) const;        // "Prompt/Prp%04d.Wav"; null when n < 0
    char* VM_GetHelpFileName(int kind) const;       // 1 "QvHelp.html", 2 "QvHelp.pdf"
    // Creates an empty "Temp/Grt<hex>.TMP" and returns its path.
    char* VM_GetTempFileName() const;

    // Replaces an owned string field with a copy of text (null or empty: absent).
    static void VM_SetText(char*& field, const char* text);

    // Stored fields, in file order.
    std::int32_t m_nVersion;
    char* m_szTitle;
    DWORD m_dwFlags;
    std::uint8_t m_nCallSortColumn;
    std::uint8_t m_nCallSortOrder;  // 1 ascending, 2 descending
    std::uint8_t m_nAddrSortColumn;
    std::uint8_t m_nAddrSortOrder;
    std::uint8_t m_nNextTip;        // 0..8
    std::uint8_t m_nAlertMode;      // 0 none, 1 every call, 2 calls with a message
    std::uint8_t m_nNotifyMode;     // 0 off, 1 every call, 2 as the address book asks
    char* m_szSmtpServer;
    char* m_szSender;
    std::int32_t m_nSmtpPort;
    std::uint8_t m_bReserved;
    std::uint8_t m_nSmtpSecurity;   // 0x01 authentication, 0x10 SSL/TLS, 0x20 STARTTLS
    char* m_szSmtpUser;
    char* m_szSmtpPassword;
    char* m_szEmail[VM_EMAIL_COUNT];
    std::uint8_t m_bAttach[VM_EMAIL_COUNT];
    std::uint8_t m_idInbox;
    std::uint8_t m_idDeleted;
    std::uint8_t m_idBulkCall;
    std::uint8_t m_bReserved2;
    std::int32_t m_idLine;          // -1 none chosen
    std::int32_t m_idReserved;
    std::int32_t m_idRecordDevice;  // -1 the system default
    std::int32_t m_idPlayDevice;    // -1 the system default
    std::uint8_t m_nRings;
    std::int32_t m_nMaxCallMinutes;  // 0 no limit
    std::int16_t m_nSilenceSeconds;
    std::int16_t m_nSilenceLevel;    // 0..100
    double m_dReserved1;
    double m_dReserved2;
    // Read by call worker threads while a dialog or a call may replace them;
    // changed together only through VM_ResetPassword.
    VM_CSharedText m_szDefaultPassword;
    VM_CSharedText m_szPassword;

    // Not stored: the configuration file's full path and the program folder.
    char* m_szFile;
    char* m_szHome;

private:
    // Guards a load, a save and a password reset against each other.
    mutable std::mutex m_lock;
    DWORD m_idOwner;
    bool m_bSetAside = false;  // the file was set aside as damaged
    bool m_bReadOnly = false;

    void VM_SetDefaults();
    void VM_SetFirstRunValues();
    void VM_SetAside(const char* why);
    void VM_Open(const char* programFolder);
    void VM_ReleaseStrings();
};

// VM_GetPath as a string; empty when the path cannot be made.
std::string VM_PathText(const VM_CAppCfg& cfg, const char* subfolder, const char* fileName = nullptr);

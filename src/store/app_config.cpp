#include "store/app_config.h"

#include <cstring>
#include <string>

#include "diag/trace.h"
#include "platform/win32/threads.h"
#include "store/config_file_format.h"
#include "store/file_replace.h"
#include "store/program_folder.h"
#include "store/shipped_data.h"
#include "store/stored_file.h"

const char* const VM_FOLDER_CONFIG = "/Config";
const char* const VM_FOLDER_VOICE = "/Voice";
const char* const VM_FOLDER_GREETING = "/Greeting";
const char* const VM_FOLDER_PROMPT = "/Prompt";
const char* const VM_FOLDER_HELP = "/Help";
const char* const VM_FOLDER_TEMP = "/Temp";
const char* const VM_CFG_FILE_NAME = "Vocerra.Cfg";

namespace {

constexpr const char* kDefaultTitle = "Vocerra 3.5";
constexpr const char* kDefaultPassword = "908172";
// Owner only: the file holds the mail server password in clear.
constexpr unsigned kCfgFileMode = 0600;

char* DuplicateText(const char* text) {
    if (text == nullptr || text[0] == '\0') return nullptr;
    std::size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

VM_CAppCfg::VM_CAppCfg() : m_idOwner(GetCurrentThreadId()) {
    VM_SetDefaults();
    VM_Open(VM_FindProgramFolder().c_str());
}

VM_CAppCfg::VM_CAppCfg(const char* programFolder) : m_idOwner(GetCurrentThreadId()) {
    VM_SetDefaults();
    VM_Open(programFolder);
}

VM_CAppCfg::VM_CAppCfg(const char* programFolder, VM_EAccess /*access*/)
    : m_idOwner(GetCurrentThreadId()), m_bReadOnly(true) {
    VM_SetDefaults();
    m_szHome = DuplicateText(programFolder);
    if (m_szHome != nullptr) {
        std::string path = std::string(m_szHome) + VM_FOLDER_CONFIG + "/" + VM_CFG_FILE_NAME;
        m_szFile = DuplicateText(path.c_str());
    }
    if (!VM_Load()) VM_SetFirstRunValues();
}

VM_CAppCfg::~VM_CAppCfg() {
    if (!m_bReadOnly) VM_Save();
    VM_ReleaseStrings();
    delete[] m_szFile;
    delete[] m_szHome;
}

void VM_CAppCfg::VM_SetDefaults() {
    m_nVersion = VM_CFG_VERSION;
    m_szTitle = DuplicateText(kDefaultTitle);
    m_dwFlags = VM_FLAGS_FIRST_RUN;
    m_nCallSortColumn = 0;
    m_nCallSortOrder = 1;
    m_nAddrSortColumn = 0;
    m_nAddrSortOrder = 1;
    m_nNextTip = 0;
    m_nAlertMode = 1;
    m_nNotifyMode = 0;
    m_szSmtpServer = nullptr;
    m_szSender = nullptr;
    m_nSmtpPort = 25;
    m_bReserved = 1;
    m_nSmtpSecurity = 0;
    m_szSmtpUser = nullptr;
    m_szSmtpPassword = nullptr;
    for (int i = 0; i < VM_EMAIL_COUNT; ++i) {
        m_szEmail[i] = nullptr;
        m_bAttach[i] = 0;
    }
    m_idInbox = 1;
    m_idDeleted = 2;
    m_idBulkCall = 3;
    m_bReserved2 = 1;
    m_idLine = -1;
    m_idReserved = -1;
    m_idRecordDevice = -1;
    m_idPlayDevice = -1;
    m_nRings = 3;
    m_nMaxCallMinutes = 0;
    m_nSilenceSeconds = 10;
    m_nSilenceLevel = 8;
    m_dReserved1 = 100.0;
    m_dReserved2 = 100.0;
    m_szDefaultPassword.VM_Set(kDefaultPassword);
    m_szPassword.VM_Set(kDefaultPassword);
    m_szFile = nullptr;
    m_szHome = nullptr;
}

void VM_CAppCfg::VM_Open(const char* programFolder) {
    m_szHome = DuplicateText(programFolder);
    if (m_szHome != nullptr) {
        // Makes the "Config" folder as a side effect.
        m_szFile = VM_GetPath(VM_FOLDER_CONFIG, VM_CFG_FILE_NAME);
        if (m_szFile == nullptr) {
            // Kept in memory only: the folder may be read-only, but a file
            // already there can still be read.
            std::string path = std::string(m_szHome) + VM_FOLDER_CONFIG + "/" + VM_CFG_FILE_NAME;
            m_szFile = DuplicateText(path.c_str());
        }
    }
    if (VM_Load()) {
        // A damaged file was set aside: what could be read goes to a new one.
        if (m_bSetAside) VM_Save();
        return;
    }
    VM_SetFirstRunValues();
    VM_Save();
    // A first start answers with the shipped greeting until the user records one.
    VM_InstallDefaultGreeting(*this);
}

void VM_CAppCfg::VM_SetFirstRunValues() {
    VM_SetText(m_szTitle, kDefaultTitle);
    m_szDefaultPassword.VM_Set(kDefaultPassword);
    m_szPassword.VM_Set(kDefaultPassword);
    VM_SetFlag(false, VM_FLAG_REMOTE_RETRIEVAL | VM_FLAG_TOLL_SAVER);
}

void VM_CAppCfg::VM_ReleaseStrings() {
    char** owned[] = {&m_szTitle, &m_szSmtpServer, &m_szSender, &m_szSmtpUser,
                      &m_szSmtpPassword, &m_szEmail[0], &m_szEmail[1], &m_szEmail[2],
                      &m_szEmail[3], &m_szEmail[4]};
    for (char** field : owned) VM_SetText(*field, nullptr);
    m_szDefaultPassword.VM_Clear();
    m_szPassword.VM_Clear();
}

bool VM_CAppCfg::VM_Load() {
    if (m_szFile == nullptr) return false;
    std::lock_guard<std::mutex> guard(m_lock);
    std::string file;
    switch (VM_ReadStoredFile(m_szFile, file)) {
        case VM_FileState::kMissing:
            return false;
        case VM_FileState::kUnreadable:
            VM_SetAside("cannot be read");
            return false;
        case VM_FileState::kRead:
            break;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    // Too short to say its version: cut short (by a crash of an older writer).
    if (file.size() < sizeof(std::int32_t)) {
        VM_SetAside("too short for a version");
        return false;
    }
    // Checked before anything is released, so a foreign file leaves the defaults.
    if (!VM_HasConfigVersion(bytes, file.size())) {
        VM_TRACE(g_bTraceAudio, "VM_CAppCfg::VM_Load: %s is not version %d", m_szFile,
                 VM_CFG_VERSION);
        return false;
    }
    VM_ReleaseStrings();
    if (VM_DecodeConfig(*this, bytes, file.size()) == VM_ConfigRead::kDamaged) {
        // The fields read keep their values, the rest their defaults.
        VM_SetAside("damaged after some fields");
    }
    return true;
}

// Under the lock. A file that cannot be set aside is never saved over: the
// settings then live in memory only.
void VM_CAppCfg::VM_SetAside(const char* why) {
    if (m_bReadOnly) return;
    if (VM_SetAsideDamagedFile(m_szFile, why)) {
        m_bSetAside = true;
        return;
    }
    delete[] m_szFile;
    m_szFile = nullptr;
}

bool VM_CAppCfg::VM_Save() {
    if (m_szFile == nullptr || m_bReadOnly) return false;
    if (GetCurrentThreadId() != m_idOwner) {
        VM_TRACE(g_bTraceAudio, "VM_CAppCfg::VM_Save: refused off the main thread");
        return false;
    }
    std::string bytes;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        bytes = VM_EncodeConfig(*this);
    }
    return VM_ReplaceFile(m_szFile, bytes.data(), bytes.size(), kCfgFileMode);
}

bool VM_CAppCfg::VM_ResetPassword() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_szDefaultPassword.VM_IsPresent()) return false;
    m_szPassword.VM_SetFrom(m_szDefaultPassword);
    return true;
}

void VM_CAppCfg::VM_SetFlag(bool on, DWORD mask) {
    if (on) {
        m_dwFlags |= mask;
    } else {
        m_dwFlags &= ~mask;
    }
}

void VM_CAppCfg::VM_SetText(char*& field, const char* text) {
    char* copy = DuplicateText(text);
    delete[] field;
    field = copy;
}

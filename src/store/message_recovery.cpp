#include "store/message_recovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audio/wave_file.h"
#include "audio/wave_file_repair.h"
#include "diag/trace.h"
#include "diag/user_notice.h"
#include "store/app_config.h"
#include "store/call_filing.h"
#include "store/call_journal.h"
#include "store/delete_journal.h"
#include "store/list.h"
#include "store/move_journal.h"
#include "store/stored_file.h"

const char* const VM_RECOVERED_CALL_NOTE = "Recovered: Vocerra stopped during this call.";

namespace {

struct Orphan {
    std::string path;
    std::time_t modified = 0;
};

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "Msg" or "QvLV", then digits of the kind the program numbers them with, then the suffix.
bool Numbered(const char* name, const char* prefix, size_t digits, const char* suffix, bool hex) {
    const size_t p = std::strlen(prefix);
    if (std::strlen(name) != p + digits + std::strlen(suffix) || std::strncmp(name, prefix, p) != 0) return false;
    for (size_t i = p; i < p + digits; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (hex ? !(std::isdigit(c) || (c >= 'a' && c <= 'f')) : !std::isdigit(c)) return false;
    }
    return std::strcmp(name + p + digits, suffix) == 0;
}

template <typename Take>
void ForEachFile(const std::string& folder, Take take) {
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) take(entry->d_name);
    ::closedir(dir);
}

// The message files every call log names, by name: a log written
// elsewhere still keeps its files from being filed twice.
std::set<std::string> NamedMessages(const VM_CAppCfg& cfg) {
    std::set<std::string> named;
    const std::string config = VM_PathText(cfg, VM_FOLDER_CONFIG);
    ForEachFile(config, [&](const char* name) {
        if (!Numbered(name, "QvLV", 4, ".Cfg", false)) return;
        VM_CCallInfo prototype;
        VM_CList list(&prototype, (config + "/" + name).c_str(), 0);
        for (int i = 0; i < list.VM_GetCount(); ++i) {
            const auto wave = list.VM_GetAt(i)->VM_GetAttrText(VM_CCallInfo::kAttrWaveFile);
            if (wave && !wave->empty()) named.insert(BaseName(*wave));
        }
    });
    return named;
}

std::vector<Orphan> OrphanMessages(const VM_CAppCfg& cfg, const std::set<std::string>& named) {
    std::vector<Orphan> orphans;
    const std::string voice = VM_PathText(cfg, VM_FOLDER_VOICE);
    ForEachFile(voice, [&](const char* name) {
        if (!Numbered(name, "Msg", 4, ".Wav", true) || named.count(name) != 0) return;
        Orphan orphan{voice + "/" + name};
        struct stat info {};
        if (::stat(orphan.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
        orphan.modified = info.st_mtime;
        orphans.push_back(orphan);
    });
    std::sort(orphans.begin(), orphans.end(), [](const Orphan& a, const Orphan& b) {
        return a.modified != b.modified ? a.modified < b.modified : a.path < b.path;
    });
    return orphans;
}

class Recovery {
public:
    explicit Recovery(const VM_CAppCfg& cfg)
        : m_cfg(cfg), m_journals(VM_ReadCallJournals(cfg)), m_deleted(VM_ReadDeleteJournal(cfg)) {}
    VM_SRecovery Run();

private:
    VM_SCallJournal* JournalFor(const Orphan& orphan);
    void Recover(const Orphan& orphan);
    std::unique_ptr<VM_CCallInfo> RecordFor(const Orphan& orphan, VM_SCallJournal* journal);
    void TellUser() const;

    const VM_CAppCfg& m_cfg;
    std::vector<VM_SCallJournal> m_journals;
    std::set<std::string> m_deleted;  // recordings whose records were deleted for good
    std::vector<bool> m_used;
    std::vector<bool> m_kept;
    bool m_bKeepJournals = false;
    VM_SRecovery m_result;
};

// The journal that names the file (from the start of its recording on);
// else the latest journal that names no file and was written before the
// file was last written to: a call whose journal could not be brought up
// to date when its recording began.
VM_SCallJournal* Recovery::JournalFor(const Orphan& orphan) {
    const std::string name = BaseName(orphan.path);
    VM_SCallJournal* latest = nullptr;
    for (size_t i = 0; i < m_journals.size(); ++i) {
        VM_SCallJournal& journal = m_journals[i];
        if (m_used[i] || !journal.record) continue;
        const auto wave = journal.record->VM_GetAttrText(VM_CCallInfo::kAttrWaveFile);
        if (wave && !wave->empty()) {
            if (BaseName(*wave) == name) {
                m_used[i] = true;
                return &journal;
            }
            continue;
        }
        if (journal.written <= orphan.modified) latest = &journal;
    }
    if (latest != nullptr) m_used[static_cast<size_t>(latest - m_journals.data())] = true;
    return latest;
}

std::unique_ptr<VM_CCallInfo> Recovery::RecordFor(const Orphan& orphan, VM_SCallJournal* journal) {
    std::unique_ptr<VM_CCallInfo> record =
        journal != nullptr && journal->record ? std::move(journal->record) : std::make_unique<VM_CCallInfo>();
    if (!record->VM_GetAttrText(VM_CCallInfo::kAttrTime)) {
        std::tm local{};
        localtime_r(&orphan.modified, &local);
        record->VM_SetTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec);
    }
    record->m_id = 0;
    record->VM_SetAttr(VM_CCallInfo::kAttrNotes, VM_RECOVERED_CALL_NOTE);
    record->VM_SetAttr(VM_CCallInfo::kAttrWaveFile, orphan.path.c_str());
    return record;
}

void Recovery::Recover(const Orphan& orphan) {
    if (m_deleted.count(BaseName(orphan.path)) != 0) {
        // Its record was deleted and the program died before the recording went.
        VM_DeleteStoredFile(orphan.path.c_str());
        return;
    }
    const VM_SWaveRepair repair = VM_RepairWaveFile(orphan.path.c_str());
    switch (repair.state) {
    case VM_EWaveRepair::kEmpty:
        // What closing the recording would have done.
        if (VM_DeleteStoredFile(orphan.path.c_str())) m_result.discarded++;
        return;
    case VM_EWaveRepair::kNoFormat:
    case VM_EWaveRepair::kNotWave:
        if (VM_SetAsideDamagedFile(orphan.path.c_str(), "a message that no call names and that cannot be played"))
            m_result.setAside++;
        return;
    case VM_EWaveRepair::kFailed:
        // Tried again at the next start, when its journal may still be wanted.
        m_bKeepJournals = true;
        return;
    case VM_EWaveRepair::kWhole:
    case VM_EWaveRepair::kRepaired:
        break;
    }
    VM_SCallJournal* journal = JournalFor(orphan);
    std::unique_ptr<VM_CCallInfo> record = RecordFor(orphan, journal);
    const DWORD rate = repair.format.nAvgBytesPerSec;
    record->VM_SetLength(static_cast<int>(std::max<DWORD>(1, (repair.dataBytes + rate / 2) / rate)));
    if (VM_FileCallRecord(m_cfg, m_cfg.m_idInbox, record.get(), nullptr)) {
        record.release();
        m_result.filed++;
        VM_TRACE(g_bTraceTapi, "VM_RecoverInterruptedMessages: %s filed in the Inbox (%lu bytes)",
                 orphan.path.c_str(), static_cast<unsigned long>(repair.dataBytes));
        return;
    }
    // The file stays unnamed and its journal kept: the next start tries again.
    m_result.unfiled++;
    if (journal != nullptr) m_kept[static_cast<size_t>(journal - m_journals.data())] = true;
}

void Recovery::TellUser() const {
    if (m_result.filed == 0) return;
    const std::string text =
        m_result.filed == 1
            ? std::string("Vocerra stopped during a call; the message it was recording was recovered and filed in "
                          "the Inbox.")
            : std::to_string(m_result.filed) +
                  " messages recorded while Vocerra stopped during calls were recovered and filed in the Inbox.";
    VM_NoticeForUser(text.c_str());
}

VM_SRecovery Recovery::Run() {
    m_used.assign(m_journals.size(), false);
    m_kept.assign(m_journals.size(), false);
    for (const Orphan& orphan : OrphanMessages(m_cfg, NamedMessages(m_cfg))) Recover(orphan);
    // A journal no message needs belongs to a call that was filed, or
    // that left no message to recover.
    for (size_t i = 0; i < m_journals.size(); ++i)
        if (!m_kept[i] && !(m_bKeepJournals && !m_used[i])) VM_DeleteStoredFile(m_journals[i].path.c_str());
    VM_RemoveDeleteJournal(m_cfg);
    TellUser();
    return m_result;
}

}  // namespace

VM_SRecovery VM_RecoverInterruptedMessages(const VM_CAppCfg& cfg) {
    // First the move between folders the program did not finish, so that
    // no message is left in two of them.
    VM_FinishInterruptedMove(cfg);
    return Recovery(cfg).Run();
}

// Command 40021's chain: sound devices, the main greeting and, with several
// mailboxes, the mailbox greetings. Everything is chosen and recorded on
// copies and stored only when the chain ends with OK.
#include <memory>

#include <QApplication>
#include <QProgressDialog>

#include "app/mailbox_setup/greeting_work_copies.h"
#include "app/mailbox_setup/mailbox_greeting_page.h"
#include "app/mailbox_setup/main_greeting_page.h"
#include "app/mailbox_setup/mailbox_setup_state.h"
#include "app/mailbox_setup/sound_device_page.h"
#include "app/dialogs/message_box.h"
#include "app/setup/setup_wizards.h"
#include "callflow/answer_machine.h"
#include "store/app_config.h"

namespace {

enum Page { kSoundDevices, kMainGreeting, kMailboxGreetings };

std::unique_ptr<VM_CGreetingWorkCopies> LoadWorkCopies(QWidget* parent, VM_CAppCfg& cfg) {
    QProgressDialog progress(QStringLiteral("Loading Config:\nPlease wait while retrieving device info and greetings."),
                             QString(), 0, VM_CGreetingWorkCopies::kCount, parent);
    progress.setWindowTitle(QStringLiteral("Vocerra"));
    progress.setWindowModality(Qt::NonModal);
    progress.setMinimumDuration(0);
    progress.show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return std::make_unique<VM_CGreetingWorkCopies>(cfg, [&progress](int done) { progress.setValue(done); });
}

int RunPage(Page page, QWidget* parent, VM_SMailboxSetupState& state, const VM_CGreetingWorkCopies& copies) {
    std::unique_ptr<VM_CSetupPage> dialog;
    switch (page) {
        case kSoundDevices: dialog = std::make_unique<VM_CSoundDevicePage>(parent, state); break;
        case kMainGreeting:
            dialog = std::make_unique<VM_CMainGreetingPage>(parent, state, copies.VM_GetPath(VM_CGreetingWorkCopies::kMain));
            break;
        case kMailboxGreetings: dialog = std::make_unique<VM_CMailboxGreetingPage>(parent, state, copies); break;
    }
    return dialog->exec();
}

// Where a page's result leads; false when the chain ends there.
bool NextPage(Page& page, int result, bool& commit) {
    commit = false;
    if (result == VM_PAGE_CANCEL) return false;
    if (result == VM_PAGE_BACK) {
        if (page != kSoundDevices) page = static_cast<Page>(page - 1);
        return true;
    }
    // The sound-device page leads on by either of its captions.
    if (result == VM_PAGE_OK && page != kSoundDevices) {
        commit = true;
        return false;
    }
    if (page != kMailboxGreetings) page = static_cast<Page>(page + 1);
    return true;
}

void Commit(QWidget* parent, VM_CAppCfg& cfg, const VM_SMailboxSetupState& state, VM_CGreetingWorkCopies& copies,
            VM_CAnswerMachine* machine, const std::function<void(bool)>& applied) {
    cfg.m_idRecordDevice = state.recordDevice;
    cfg.m_idPlayDevice = state.playDevice;
    cfg.VM_SetFlag(state.enhance, VM_FLAG_ENHANCE_GREETINGS);
    // The bit means one mailbox; the page asks for several.
    const bool changed = state.multiple == cfg.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX);
    if (changed) {
        cfg.VM_SetFlag(!state.multiple, VM_FLAG_SINGLE_MAILBOX);
        cfg.m_nCallSortColumn = 0;
        cfg.m_nCallSortOrder = 1;
        if (machine != nullptr) machine->VM_OnConfigChanged();
    }
    if (applied) applied(changed);
    if (!cfg.VM_Save())
        VM_ShowMessage(parent, QStringLiteral("Vocerra could not save its settings. Check that the "
                                                              "disk is not full."));
    if (!copies.VM_CommitAll())
        VM_ShowMessage(parent, QStringLiteral("Some greetings could not be saved; they keep their "
                                                              "previous recording. Check that the disk is not "
                                                              "full."));
}

}  // namespace

bool VM_RunMailboxSetup(QWidget* parent, VM_CAppCfg& cfg, VM_CAnswerMachine* machine,
                        const std::function<void(bool)>& applied) {
    // The copies are deleted however the chain ends.
    std::unique_ptr<VM_CGreetingWorkCopies> copies = LoadWorkCopies(parent, cfg);
    VM_SMailboxSetupState state;
    state.playDevice = cfg.m_idPlayDevice;
    state.recordDevice = cfg.m_idRecordDevice;
    state.enhance = cfg.VM_IsFlag(VM_FLAG_ENHANCE_GREETINGS);
    state.multiple = !cfg.VM_IsFlag(VM_FLAG_SINGLE_MAILBOX);
    Page page = kSoundDevices;
    bool commit = false;
    while (NextPage(page, RunPage(page, parent, state, *copies), commit)) {
    }
    if (commit) Commit(parent, cfg, state, *copies, machine, applied);
    return commit;
}

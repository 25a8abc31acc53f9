// The chain of the modem command: the modem page, then the call page; the
// configuration changes only on the call page's OK.
#include "app/setup/call_page.h"
#include "app/setup/modem_page.h"
#include "app/setup/setup_wizards.h"
#include "callflow/answer_machine.h"
#include "store/app_config.h"

namespace {

void StoreCallSettings(VM_CAppCfg& cfg, const VM_SCallSettings& s) {
    cfg.VM_SetFlag(s.enhanceCalls, VM_FLAG_ENHANCE_CALLS);
    cfg.VM_SetFlag(s.prescreen, VM_FLAG_PRESCREEN);
    cfg.VM_SetFlag(s.tollSaver, VM_FLAG_TOLL_SAVER);
    cfg.m_nRings = static_cast<std::uint8_t>(s.rings);
    cfg.m_nMaxCallMinutes = s.maxCallMinutes;
    cfg.m_nSilenceSeconds = static_cast<std::int16_t>(s.silenceSeconds);
    cfg.m_nSilenceLevel = static_cast<std::int16_t>(s.silenceLevel);
}

// The answer machine restarts only when what it opened the line with changed.
void Commit(VM_CAppCfg& cfg, VM_CAnswerMachine* machine, std::int32_t lineId, const VM_SCallSettings& s) {
    StoreCallSettings(cfg, s);
    if (lineId != cfg.m_idLine || s.modemFix != cfg.VM_IsFlag(VM_FLAG_MODEM_FIX)) {
        cfg.m_idLine = lineId;
        cfg.VM_SetFlag(s.modemFix, VM_FLAG_MODEM_FIX);
        if (machine != nullptr) machine->VM_OnConfigChanged();
    }
    cfg.VM_Save();
}

}  // namespace

bool VM_RunModemSetup(QWidget* parent, VM_CAppCfg& cfg, VM_CAnswerMachine* machine) {
    VM_CModemPage modemPage(parent, g_modemTable, cfg.m_idLine);
    VM_CCallPage callPage(parent, VM_LoadCallSettings(cfg));
    for (;;) {
        if (modemPage.exec() == VM_PAGE_CANCEL) return false;
        const int result = callPage.exec();
        if (result == VM_PAGE_CANCEL) return false;
        if (result == VM_PAGE_OK) break;
    }
    Commit(cfg, machine, modemPage.VM_GetLineId(), callPage.VM_GetSettings());
    return true;
}

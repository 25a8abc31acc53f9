#include "shell/line_choice.h"

#include "callflow/modem_table.h"
#include "store/app_config.h"

bool VM_ChooseVoiceLine(VM_CAppCfg& cfg, bool replaceUnusable) {
    if (VM_FindVoiceModem(cfg.m_idLine) != nullptr) return true;
    // A chosen modem that is only unplugged now stays chosen in the windows.
    if (cfg.m_idLine != -1 && !replaceUnusable) return false;
    if (g_modemTable.nVoiceCount == 0) return false;
    cfg.m_idLine = g_modemTable.entries[g_modemTable.voiceIndexes[0]].idLine;
    return true;
}

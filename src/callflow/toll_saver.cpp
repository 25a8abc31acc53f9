#include "callflow/toll_saver.h"

#include "store/app_config.h"

int VM_RingsBeforeAnswer(const VM_CAppCfg& cfg, const VM_CTollSaver* tollSaver) {
    int rings = cfg.m_nRings;
    bool noNewMessages = tollSaver == nullptr || tollSaver->VM_GetNoNewMessages() != 0;
    if (cfg.VM_IsFlag(VM_FLAG_TOLL_SAVER) && noNewMessages) rings += 2;
    return rings;
}

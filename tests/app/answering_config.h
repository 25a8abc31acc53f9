// The settings of a windowed program that answers the simulated line at
// the second ring, with the Inbox shown and nothing else on that a test did
// not ask for; more changes them further before they are saved.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "store/app_config.h"

namespace apptest {

inline void WriteAnsweringConfig(const std::string& home, const std::function<void(VM_CAppCfg&)>& more = {}) {
    VM_CAppCfg cfg(home.c_str());
    cfg.m_idLine = 0;
    cfg.m_nRings = 2;
    cfg.m_nMaxCallMinutes = 0;
    cfg.VM_SetFlag(false, VM_FLAG_TOLL_SAVER | VM_FLAG_PRESCREEN | VM_FLAG_MODEM_FIX | VM_FLAG_REMOTE_RETRIEVAL |
                              VM_FLAG_TIPS);
    cfg.VM_SetFlag(true, VM_FLAG_SINGLE_MAILBOX | VM_FLAG_ANSWERING | VM_FLAG_MESSAGE_PAGE | VM_FLAG_START_IN_INBOX);
    if (more) more(cfg);
    ASSERT_TRUE(cfg.VM_Save());
}

}  // namespace apptest

// Which line a fresh program answers on: the first voice line found, so a
// first start answers without a trip through the modem set-up.
#pragma once

class VM_CAppCfg;

// Takes the first voice line of the modem table when no line is chosen, or,
// with replaceUnusable, when the chosen one is not a voice line found now.
// False when the configuration is left without a voice line.
bool VM_ChooseVoiceLine(VM_CAppCfg& cfg, bool replaceUnusable);

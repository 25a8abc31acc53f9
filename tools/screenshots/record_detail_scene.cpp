// The detail dialog of a message that was e-mailed, with its recording.
#include <fstream>
#include <memory>
#include <string>

#include "app/dialogs/record_detail_dialog.h"
#include "scene_registry.h"
#include "store/app_config.h"
#include "store/call_info.h"

VM_SCREENSHOT_SCENE(record_detail_dialog) {
    VM_CAppCfg& cfg = VM_SceneConfig();
    std::unique_ptr<char[]> wave(cfg.VM_GetPath(VM_FOLDER_VOICE, "Msg0001.Wav"));
    std::ofstream(wave.get(), std::ios::binary) << std::string(48 * 1024 + 300, '\0');
    static VM_CCallInfo record;
    record.VM_SetAttr(VM_CCallInfo::kAttrName, "Ann Example");
    record.VM_SetAttr(VM_CCallInfo::kAttrNumber, "(555) 010-7788");
    record.VM_SetAttr(VM_CCallInfo::kAttrNotes, "Wants the quote for the garden work by Friday.");
    record.VM_SetAttr(VM_CCallInfo::kAttrWaveFile, wave.get());
    record.VM_SetTime(2026, 12, 7, 14, 5, 9);
    record.VM_SetLength(42);
    record.VM_SetMailbox(1);
    record.VM_AddFlags(VM_CCallInfo::kFlagNotify);
    return new VM_CRecordDetailDialog(cfg, record);
}

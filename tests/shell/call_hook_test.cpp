// The owner's command runs for one call at a time, in the order the calls
// were filed, while the main thread goes on handing it calls.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/win32/errors.h"
#include "platform/win32/registry.h"
#include "shell/call_hook.h"
#include "shell/call_mediator.h"
#include "store/app_config.h"
#include "support/registry_file.h"
#include "support/temp_dir.h"

namespace {

TEST(CallHookConcurrency, RunsOneAtATimeInTheOrderTheCallsCame) {
    testsupport::TempDir dir;
    testsupport::ScopedRegistryFile registry;
    const std::string log = dir.file("log");
    const std::string busy = dir.file("running");
    const std::string script = dir.file("hook.sh");
    testsupport::WriteFileBytes(script, "#!/bin/sh\nmkdir '" + busy + "' || echo overlap >> '" + log +
                                            "'\necho \"$VOCERRA_CALLER_NUMBER\" >> '" + log +
                                            "'\nsleep 0.05\nrmdir '" + busy + "'\n");
    ASSERT_EQ(0, chmod(script.c_str(), 0755));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, static_cast<DWORD>(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vocerra", 0, nullptr, 0,
                                                                KEY_WRITE, nullptr, &key, nullptr)));
    RegSetValueExA(key, "OnCall", 0, REG_SZ, reinterpret_cast<const BYTE*>(script.c_str()),
                   static_cast<DWORD>(script.size() + 1));
    RegCloseKey(key);

    VM_CAppCfg cfg(dir.path().c_str());
    std::string expected;
    {
        VM_CCallHook hook;
        for (int i = 0; i < 6; ++i) {
            VM_SFiledCall call;
            call.folderId = cfg.m_idInbox;
            call.number = "55501" + std::to_string(10 + i);
            expected += call.number + "\n";
            hook.VM_OnFiledCall(cfg, call);
        }
    }  // the end lets the waiting runs finish within one limit
    EXPECT_EQ(expected, testsupport::ReadFileBytes(log));
}

}  // namespace

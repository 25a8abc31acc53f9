// A configuration in a temporary program folder pointed at the loopback
// mail server, and call records to notify.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "smtp_test_server.h"
#include "store/app_config.h"
#include "store/call_info.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace notifytest {

class NoticeTest : public ::testing::Test {
protected:
    NoticeTest();
    void SetUp() override { ASSERT_TRUE(server.ok()) << server.error(); }

    // Mail to the given listener with login, security byte and addresses.
    void UseServer(const char* listener, std::uint8_t security = 0x01, const char* password = "secret");
    void SetAddresses(std::initializer_list<const char*> addresses);
    // A call from name and number on 3 March at 21:07, to mailbox 2, with a
    // recording of its own when recorded is set.
    std::unique_ptr<VM_CCallInfo> Call(const char* name, const char* number, bool recorded = true,
                                       DWORD flags = 0);

    SmtpTestServer server;
    testsupport::TempDir home;
    testsupport::ScopedEnv ca{"VOCERRA_SMTP_CA_FILE", nullptr};
    VM_CAppCfg cfg;
    std::string recording;  // the bytes of every recording Call makes
};

}  // namespace notifytest

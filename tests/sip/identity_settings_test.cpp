// Who a SIP caller is, and the SIP line's settings in the registry file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "lines/base/caller_text.h"
#include "lines/sip/caller_identity.h"
#include "lines/sip/sip_settings.h"
#include "platform/tapi/tapi_constants.h"
#include "platform/win32/registry.h"
#include "support/registry_file.h"
#include "support/temp_dir.h"

namespace sipline {
namespace {

TEST(CallerIdentity, AssertedIdentityWinsOverFromAndEscapesAreDecoded) {
    CallerIdentity id = IdentifyCaller({"\"Spoofed\"", "sip:1@evil.example"},
                                       {"\"Carol \\\"C\\\" Day\"", "sip:%2B15551234@carrier.example;user=phone"}, "");
    EXPECT_EQ(id.name, "Carol \"C\" Day");
    EXPECT_EQ(id.number, "+15551234");
    EXPECT_EQ(id.flags, 0u);
}

TEST(CallerIdentity, MissingPartsStayMissingAndTelUrisGiveTheNumber) {
    CallerIdentity id = IdentifyCaller({"", "sip:gateway.example"}, {}, "none");
    EXPECT_FALSE(id.name.has_value());
    EXPECT_FALSE(id.number.has_value()) << "a URI without a user part names no number";
    id = IdentifyCaller({"  ", "tel:+44-20-7946-0000;phone-context=x"}, {}, "");
    EXPECT_EQ(id.number, "+44-20-7946-0000");
    EXPECT_FALSE(id.name.has_value());
}

// The caller reaches the application through the line base's filter, as
// every line's caller does.
TEST(CallerIdentity, ControlCharactersAreDroppedAndLengthsBounded) {
    CallerIdentity id = IdentifyCaller({"\"Eve\r\nX-Injected: 1\"", "sip:555%0A%00123@example.net"}, {}, "");
    EXPECT_EQ(lines::CallerText(*id.name), "EveX-Injected: 1");
    EXPECT_EQ(lines::CallerText(*id.number), "555123");
    id = IdentifyCaller({std::string(5000, 'n'), "sip:" + std::string(5000, '9') + "@example.net"}, {}, "");
    EXPECT_EQ(lines::CallerText(*id.name).size(), 128u);
    EXPECT_EQ(lines::CallerText(*id.number).size(), 128u);
}

TEST(CallerIdentity, AnonymousOrAPrivacyRequestIsABlockedCaller) {
    for (const char* privacy : {"id", "header;user", " Critical , ID "}) {
        CallerIdentity id = IdentifyCaller({"Bob", "sip:5550000@example.net"}, {}, privacy);
        EXPECT_EQ(id.flags, static_cast<DWORD>(LINECALLPARTYID_BLOCKED)) << privacy;
        EXPECT_FALSE(id.number.has_value());
        EXPECT_FALSE(id.name.has_value());
    }
    EXPECT_EQ(IdentifyCaller({"", "sip:Anonymous@anonymous.invalid"}, {}, "").flags,
              static_cast<DWORD>(LINECALLPARTYID_BLOCKED));
    EXPECT_EQ(IdentifyCaller({"\"anonymous\"", "sip:5550000@example.net"}, {}, "").flags,
              static_cast<DWORD>(LINECALLPARTYID_BLOCKED));
    EXPECT_EQ(IdentifyCaller({"Bob", "sip:5550000@example.net"}, {}, "none; session").flags, 0u);
}

TEST(SipSettings, SavedSettingsReadBackAndTheFileIsTheOwnersOnly) {
    testsupport::ScopedRegistryFile registry;
    SipSettings none;
    EXPECT_FALSE(LoadSipSettings(&none)) << "no key: the SIP line is not set up";
    SipSettings s;
    s.account = "5551234";
    s.server = "sip.example.net:5070";
    s.password = "pa ss\"word";
    s.listenPort = 5080;
    s.ringPeriodMs = 5000;
    ASSERT_TRUE(SaveSipSettings(s));
    SipSettings back;
    ASSERT_TRUE(LoadSipSettings(&back));
    EXPECT_EQ(back.account, s.account);
    EXPECT_EQ(back.server, s.server);
    EXPECT_EQ(back.password, s.password);
    EXPECT_EQ(back.listenPort, 5080u);
    EXPECT_EQ(back.ringPeriodMs, 5000u);
    EXPECT_TRUE(back.Registers());
    struct stat st{};
    ASSERT_EQ(::stat(registry.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SipSettings, HandEditedValuesThatCannotWorkFallBackAndThePasswordIsNeverShown) {
    testsupport::ScopedRegistryFile registry;
    testsupport::WriteFileBytes(registry.path(),
                                "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vocerra\\Lines\\SIP]\r\n"
                                "\"Account\"=\"alice\"\r\n\"Password\"=\"hunter2\"\r\n"
                                "\"ListenPort\"=dword:00100000\r\n\"RtpPortMin\"=dword:00009000\r\n"
                                "\"RtpPortMax\"=dword:00001000\r\n\"RingPeriodMs\"=dword:00000000\r\n"
                                "\"ListenAddress\"=dword:00000001\r\n");
    SipSettings s;
    ASSERT_TRUE(LoadSipSettings(&s));
    EXPECT_EQ(s.listenPort, 5060u);
    EXPECT_EQ(s.rtpPortMin, 10000u);
    EXPECT_EQ(s.rtpPortMax, 20000u);
    EXPECT_EQ(s.ringPeriodMs, 6000u);
    EXPECT_EQ(s.listenAddress, "0.0.0.0") << "a number where text belongs is ignored";
    EXPECT_FALSE(s.Registers()) << "no server: calls come straight to the address";
    const std::string shown = DescribeSipSettings(s);
    EXPECT_EQ(shown.find("hunter2"), std::string::npos);
    EXPECT_NE(shown.find("Password: (set)"), std::string::npos);
}

}  // namespace
}  // namespace sipline

// A caller who hides his number, calling over SIP into the real answer
// machine with its real mailbox controller: an address-book entry for the
// caller-ID word "Blocked" decides what he gets. The line answers without
// counting the configured rings and then either hangs up on him or plays
// the anti-telemarketer tone; the call record says the call was blocked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "callflow/status_texts.h"
#include "platform/winmm/g711.h"
#include "platform/winmm/wave_file_io.h"
#include "sip/sip_machine_fixture.h"
#include "store/shipped_data.h"

namespace siptest {
namespace {

constexpr int kConfiguredRings = 8;

class SipBlockedCallerConcurrency : public SipMachineFixture {
protected:
    void SetUp() override {
        SipMachineFixture::SetUp();
        m_book.m_cfg->m_nRings = kConfiguredRings;
    }

    // An entry for every caller who hides his number, in the given mode.
    void BlockHiddenCallers(DWORD mode) {
        const int32_t folder = m_book.AddFolder(0, "Blocked");
        m_book.AddEntry(folder, {"Hidden callers", "Blocked", nullptr, nullptr, mode});
    }

    // The answer machine on the SIP line, and sipp calling anonymously.
    void Call(const std::string& from, const std::string& privacy) {
        StartMachine();
        ASSERT_FALSE(HasFatalFailure());
        Keys keys = CallerKeys(m_peer.Port());
        keys["caller_from"] = from;
        keys["privacy"] = privacy;
        keys.erase("hold");
        m_sipp = Sipp("caller_held.xml", keys);
    }

    // Rings shown before the machine said it was blocking the caller; -1
    // when it never did.
    int RingsBeforeBlocking() const {
        int rings = 0;
        for (const std::string& line : m_trail) {
            if (line == VM_GetStatusText(VM_STATUS_BLOCKING)) return rings;
            if (line == VM_GetStatusText(VM_STATUS_RINGING)) rings++;
        }
        return -1;
    }
    // The call has ended at both ends and its record was filed.
    void ExpectHungUpAndFiledBlocked() {
        // The scenario ends only on our BYE. Waited for here, as the
        // fixture's own pump would lose the main window's messages.
        EXPECT_TRUE(Pump([this] { return m_sipp->Wait(0) >= 0; }, 100)) << Trail();
        ExpectSippPassed(*m_sipp);
        ASSERT_TRUE(Pump([this] { return !m_records.empty() && !m_machine->VM_HasCall(); }))
            << Trail() << m_records.size() << " records, a call " << m_machine->VM_HasCall();
        ASSERT_EQ(m_records.size(), 1u);
        VM_CCallInfo& record = *m_records[0];
        EXPECT_TRUE(record.VM_GetFlags() & VM_CCallInfo::kFlagBlocked) << "flags " << record.VM_GetFlags();
        EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrNumber), "Blocked");
        EXPECT_STREQ(record.VM_GetAttr(VM_CCallInfo::kAttrName), "Hidden callers");
        EXPECT_EQ(record.VM_GetWaveFile(), nullptr) << "a blocked caller leaves no message";
        const int rings = RingsBeforeBlocking();
        EXPECT_GE(rings, 0) << Trail();
        EXPECT_LT(rings, kConfiguredRings) << "answered without counting the rings: " << Trail();
    }

    // How often the caller heard prompt 300 whole: the tone's two changes
    // of pitch are found in what the line sent, each once per playing (a
    // tone repeats itself within, its changes of pitch do not). The higher
    // of the two counts, as a device held up on a loaded machine may cut a
    // gap into one of them.
    int TimesToneHeard() const {
        WAVEFORMATEX format{};
        std::string data;
        const std::string path = VM_FindShippedFile(VM_FOLDER_PROMPT, "Prp0300.Wav");
        EXPECT_FALSE(path.empty());
        if (path.empty() || !winmm::ReadWaveFile(path, &format, &data)) return -1;
        std::string coded;
        for (std::int16_t s : winmm::DecodeSamples(format, reinterpret_cast<const BYTE*>(data.data()),
                                                   static_cast<DWORD>(data.size())))
            coded.push_back(static_cast<char>(g711::LinearToULaw(s)));
        const std::string heard = m_peer.Payloads(0);
        const size_t toneSamples = 380 * 8;  // each pitch lasts 380 ms
        int most = 0;
        for (size_t change : {toneSamples, 2 * toneSamples}) {
            if (change + 40 > coded.size()) return -1;
            const std::string piece = coded.substr(change - 40, 80);
            int count = 0;
            for (size_t at = heard.find(piece); at != std::string::npos; at = heard.find(piece, at + 1)) count++;
            most = std::max(most, count);
        }
        return most;
    }

    std::unique_ptr<PeerProcess> m_sipp;
};

TEST_F(SipBlockedCallerConcurrency, AnonymousCallerIsAnsweredAtOnceAndHungUpOn) {
    BlockHiddenCallers(VM_CAddrEntry::kFlagBlockHangUp);
    Call("\"Anonymous\" <sip:anonymous@anonymous.invalid>", "Privacy: none");
    ASSERT_FALSE(HasFatalFailure());
    ExpectHungUpAndFiledBlocked();
    EXPECT_EQ(TimesToneHeard(), 0) << "hang-up mode plays no tone";
}

TEST_F(SipBlockedCallerConcurrency, CallerAskingPrivacyHearsTheToneTwiceThenIsHungUpOn) {
    BlockHiddenCallers(VM_CAddrEntry::kFlagBlockTone);
    Call("\"Carol\" <sip:5550123@127.0.0.1>", "Privacy: id");
    ASSERT_FALSE(HasFatalFailure());
    ExpectHungUpAndFiledBlocked();
    EXPECT_EQ(TimesToneHeard(), 2) << Trail();
}

}  // namespace
}  // namespace siptest

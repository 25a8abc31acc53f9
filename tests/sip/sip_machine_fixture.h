// The real answer machine with its real mailbox controller on the SIP line,
// answering plainly on line 0, and sipp calling with the test's RTP peer as
// its media. The machine's main-window messages go to it, except the call
// records, which are kept.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "callflow/answer_machine.h"
#include "callflow/toll_saver.h"
#include "sip/sip_fixture.h"
#include "store/address_book_fixture.h"
#include "store/call_info.h"
#include "support/message_window.h"

namespace siptest {

// The address-book files of the store tests, kept beside the SIP fixture.
class BookFiles : public storetest::AddressBookFiles {
public:
    using AddressBookFiles::AddEntry;
    using AddressBookFiles::AddFolder;
    using AddressBookFiles::AnswerPlainly;
    using AddressBookFiles::m_cfg;
    using AddressBookFiles::SetUp;
    void TestBody() override {}
};

class SipMachineFixture : public SipLineFixture {
protected:
    static constexpr int kConfiguredRings = 8;

    void SetUp() override;
    void TearDown() override;

    // Starts the service and the answer machine waiting on it.
    void StartMachine();
    // Starts the machine, then sipp.
    void StartCall(const std::string& scenario, const Keys& keys);
    // Dispatches messages until pred holds (the bound only ends a broken run).
    bool Pump(const std::function<bool()>& pred, int realSeconds = 120);
    // Waits for sipp to pass and the machine to file the call's one record;
    // null (with the failure reported) otherwise.
    VM_CCallInfo* FiledRecord();
    // What the caller-ID window was told, for failure messages.
    std::string Trail() const;

    BookFiles m_book;
    testsupport::MessageWindow m_window;
    VM_CTollSaver m_tollSaver;
    std::unique_ptr<VM_CAnswerMachine> m_machine;
    std::vector<std::unique_ptr<VM_CCallInfo>> m_records;
    std::vector<std::string> m_trail;
    RtpPeer m_peer;
    std::unique_ptr<PeerProcess> m_sipp;
};

}  // namespace siptest

// A SIP caller's BYE is certain: the answer machine ends the call with it,
// whatever the call flow was doing, even with silence detection on, and a
// caller who comes right after finds the line free.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/wave_test_files.h"
#include "sip/sip_machine_fixture.h"

namespace siptest {
namespace {

class SipCallerHangUpConcurrency : public SipMachineFixture {
protected:
    // Half a second of tone, so the recording starts soon after the answer.
    void WriteShortGreeting() {
        std::vector<std::int16_t> tone(4000);
        for (size_t i = 0; i < tone.size(); i++)
            tone[i] = static_cast<std::int16_t>(8000.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / 8000.0));
        std::unique_ptr<char[]> path(m_book.m_cfg->VM_GetMainGreetingFileName());
        wavetest::WriteWave(path.get(), wavetest::Format(WAVE_FORMAT_PCM, 16), wavetest::Pcm16Bytes(tone));
    }
    VM_CCallInfo* RecordFrom(const char* number) const {
        for (const auto& record : m_records)
            if (std::strcmp(record->VM_GetAttr(VM_CCallInfo::kAttrNumber), number) == 0) return record.get();
        return nullptr;
    }
};

TEST_F(SipCallerHangUpConcurrency, ByeInTheMessageEndsItThereAndTheNextCallerIsAnswered) {
    m_book.m_cfg->m_nSilenceSeconds = 10;
    m_book.m_cfg->m_nSilenceLevel = 8;
    WriteShortGreeting();
    StartMachine();
    ASSERT_FALSE(HasFatalFailure());
    Keys first = CallerKeys(m_peer.Port());
    first["hold"] = "3000";  // real ms from the answer to the BYE, well into the recording
    auto firstCaller = Sipp("caller.xml", first);
    ASSERT_TRUE(Pump([&] { return firstCaller->Wait(0) >= 0; })) << Trail();
    ExpectSippPassed(*firstCaller);

    // Rings while the machine may still be ending the first call.
    Keys next = CallerKeys(m_peer.Port());
    next["caller_from"] = "\"Bob\" <sip:5550199@127.0.0.1>";
    next["hold"] = "300";
    auto nextCaller = Sipp("caller.xml", next);
    ASSERT_TRUE(Pump([&] { return nextCaller->Wait(0) >= 0; })) << Trail();
    ExpectSippPassed(*nextCaller);
    ASSERT_TRUE(Pump([&] { return m_records.size() >= 2 && !m_machine->VM_HasCall(); }))
        << Trail() << m_records.size() << " records";

    VM_CCallInfo* message = RecordFrom("5551234");
    ASSERT_NE(message, nullptr);
    ASSERT_NE(message->VM_GetWaveFile(), nullptr) << Trail();
    // The line is the clock: three seconds from the answer to the BYE hold
    // the greeting, the beep and the message; ten seconds of silence after
    // the BYE would be the silence detection's.
    EXPECT_LT(wavetest::DataSeconds(message->VM_GetWaveFile()), 6.0) << Trail();
    EXPECT_NE(RecordFrom("5550199"), nullptr);
}

}  // namespace
}  // namespace siptest

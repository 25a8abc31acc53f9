// Touch tones, the jitter buffer and the G.711 conversions of a SIP call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lines/sip/g711_transcode.h"
#include "lines/sip/jitter_buffer.h"
#include "lines/sip/register_backoff.h"
#include "lines/sip/telephone_event.h"
#include "platform/winmm/g711.h"

namespace sipline {
namespace {

ToneEvent Event(int code, bool end) {
    ToneEvent e;
    e.event = code;
    e.end = end;
    return e;
}

TEST(ToneEvents, EveryPacketOfOnePressCountsOnceAndARepeatedKeyAgain) {
    ToneEventFilter filter;
    std::string seen;
    auto take = [&](std::uint32_t ssrc, std::uint32_t ts, int code, bool end) {
        if (char d = filter.Take(ssrc, ts, Event(code, end))) seen.push_back(d);
    };
    for (int i = 0; i < 3; i++) take(1, 800, 5, false);
    for (int i = 0; i < 3; i++) take(1, 800, 5, true);  // the end sent three times
    take(1, 2400, 5, true);   // the same key pressed again, first packet lost
    take(1, 2400, 5, true);
    take(2, 2400, 5, false);  // another source starts over
    take(1, 4000, 16, false); // flash: no digit
    EXPECT_EQ(seen, "555");
}

TEST(ToneEvents, PayloadsAndDigitsByTheirNumbers) {
    const std::uint8_t payload[] = {11, 0x8A, 0x03, 0x20};
    ToneEvent e;
    ASSERT_TRUE(DecodeToneEvent(payload, sizeof payload, &e));
    EXPECT_EQ(e.event, 11);
    EXPECT_TRUE(e.end);
    EXPECT_EQ(e.duration, 800);
    EXPECT_FALSE(DecodeToneEvent(payload, 3, &e));
    EXPECT_EQ(ToneEventDigit(10), '*');
    EXPECT_EQ(ToneEventDigit(15), 'D');
    EXPECT_EQ(ToneEventDigit(16), 0);
    EXPECT_EQ(ToneEventDigit(-1), 0);
}

TEST(ToneEvents, InfoBodiesOfBothKindsAndNothingElse) {
    EXPECT_EQ(InfoDigit("application/dtmf-relay", "Signal=5\r\nDuration=160\r\n"), '5');
    EXPECT_EQ(InfoDigit("Application/DTMF-Relay; charset=x", "duration=100\nsignal= #\n"), '#');
    EXPECT_EQ(InfoDigit("application/dtmf-relay", "Signal=10\r\n"), '*');
    EXPECT_EQ(InfoDigit("application/dtmf", " 7 \r\n"), '7');
    EXPECT_EQ(InfoDigit("application/dtmf-relay", "Signal=55\r\n"), 0);
    EXPECT_EQ(InfoDigit("application/dtmf-relay", "Duration=160\r\n"), 0);
    EXPECT_EQ(InfoDigit("text/plain", "Signal=5"), 0);
}

std::string Take(JitterBuffer& jb, size_t n) {
    std::string out(n, '\0');
    jb.Get(reinterpret_cast<std::uint8_t*>(out.data()), n);
    return out;
}

void Put(JitterBuffer& jb, std::uint32_t ts, const std::string& codes) {
    jb.Put(ts, reinterpret_cast<const std::uint8_t*>(codes.data()), codes.size());
}

TEST(JitterBuffer, PacketsOutOfOrderComeOutInOrderAfterTheDelayAndGapsAreSilence) {
    JitterBuffer jb(0xFF, 4, 40, 100);
    Put(jb, 1000, "aaaa");
    Put(jb, 1008, "cccc");  // ahead of the missing one
    Put(jb, 1004, "bbbb");
    Put(jb, 1016, "eeee");  // 1012 never comes
    EXPECT_EQ(Take(jb, 4), std::string(4, '\xFF'));
    EXPECT_EQ(Take(jb, 20), "aaaabbbbcccc" + std::string(4, '\xFF') + "eeee");
    EXPECT_EQ(Take(jb, 4), std::string(4, '\xFF')) << "read slots are cleared";
}

TEST(JitterBuffer, LateDuplicateAndWrappedTimestampsKeepTheStreamWhole) {
    JitterBuffer jb(0xD5, 0, 40, 100);
    Put(jb, 0xFFFFFFFC, "wxyz");
    Put(jb, 0, "abcd");  // the timestamp wrapped
    EXPECT_EQ(Take(jb, 8), "wxyzabcd");
    Put(jb, 0, "ABCD");  // a duplicate, already played: dropped
    EXPECT_EQ(jb.LatePackets(), 1u);
    Put(jb, 4, "efgh");
    EXPECT_EQ(Take(jb, 4), "efgh");
}

TEST(JitterBuffer, AJumpAheadOrACallerStuckLateStartsTheTimelineAgain) {
    JitterBuffer jb(0xFF, 4, 40, 100);
    Put(jb, 0, "1111");
    Put(jb, 100000, "2222");  // silence suppressed for a long time
    EXPECT_EQ(jb.Restarts(), 1u);
    EXPECT_EQ(Take(jb, 8), std::string(4, '\xFF') + "2222");
    // From here every packet comes 12 samples late: after a few the
    // buffer follows instead of dropping the caller for good.
    EXPECT_EQ(Take(jb, 16), std::string(16, '\xFF'));
    for (std::uint32_t ts = 100004; ts < 100016; ts += 4) Put(jb, ts, "late");
    EXPECT_EQ(jb.Restarts(), 2u);
    EXPECT_EQ(Take(jb, 8), std::string(4, '\xFF') + "late");
}

WAVEFORMATEX Format(WORD tag, WORD bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(bits / 8);
    f.nAvgBytesPerSec = 8000u * f.nBlockAlign;
    return f;
}

TEST(G711Transcode, EveryCodeSurvivesItsOwnLawAndCrossesByTheStandardsTable) {
    std::string codes;
    for (int c = 0; c < 256; c++) codes.push_back(static_cast<char>(c));
    const auto* in = reinterpret_cast<const std::uint8_t*>(codes.data());
    std::string out(256, '\0');
    auto* o = reinterpret_cast<std::uint8_t*>(out.data());
    DecodeForFormat(Codec::kPcmu, in, 256, Format(WAVE_FORMAT_MULAW, 8), o);
    EXPECT_EQ(out, codes) << "mu-law 0x7F stays 0x7F, not 0xFF";
    DecodeForFormat(Codec::kPcma, in, 256, Format(WAVE_FORMAT_MULAW, 8), o);
    for (int c = 0; c < 256; c++) EXPECT_EQ(o[c], g711::ALawToULaw(static_cast<std::uint8_t>(c)));
    std::string back;
    EncodeFromFormat(Format(WAVE_FORMAT_ALAW, 8), in, 256, Codec::kPcma, &back);
    EXPECT_EQ(back, codes);
}

TEST(G711Transcode, LinearFormatsGoThroughTheEncoderBothWays) {
    const std::vector<std::int16_t> samples = {0, 1000, -1000, 32767, -32768};
    std::string pcm(samples.size() * 2, '\0');
    for (size_t i = 0; i < samples.size(); i++) {
        pcm[2 * i] = static_cast<char>(samples[i] & 0xFF);
        pcm[2 * i + 1] = static_cast<char>((samples[i] >> 8) & 0xFF);
    }
    std::string codes;
    EncodeFromFormat(Format(WAVE_FORMAT_PCM, 16), reinterpret_cast<const std::uint8_t*>(pcm.data()), pcm.size(),
                     Codec::kPcmu, &codes);
    ASSERT_EQ(codes.size(), samples.size());
    for (size_t i = 0; i < samples.size(); i++)
        EXPECT_EQ(static_cast<std::uint8_t>(codes[i]), g711::LinearToULaw(samples[i]));
    std::string decoded(samples.size(), '\0');
    DecodeForFormat(Codec::kPcmu, reinterpret_cast<const std::uint8_t*>(codes.data()), codes.size(),
                    Format(WAVE_FORMAT_PCM, 8), reinterpret_cast<std::uint8_t*>(decoded.data()));
    EXPECT_EQ(static_cast<std::uint8_t>(decoded[0]), 0x80) << "silence is 0x80 in 8-bit PCM";
}

TEST(RegisterBackoff, WaitsDoubleAndStopAtHalfAnHour) {
    EXPECT_EQ(RegisterRetryDelayMs(30000, 1), 30000u);
    EXPECT_EQ(RegisterRetryDelayMs(30000, 2), 60000u);
    EXPECT_EQ(RegisterRetryDelayMs(30000, 6), 960000u);
    EXPECT_EQ(RegisterRetryDelayMs(30000, 7), kMaxRegisterWaitMs);
    EXPECT_EQ(RegisterRetryDelayMs(30000, 4000000000u), kMaxRegisterWaitMs);
}

}  // namespace
}  // namespace sipline

// The pure parts of the modem line: DLE coding both ways (checked against
// the simulator's own shielding), reports in command state, touch tones,
// caller ID and the choice of compression.
#include <gtest/gtest.h>

#include "support/modem_simulator.h"
#include "lines/modem/dle_codec.h"
#include "lines/modem/modem_profile.h"
#include "lines/modem/modem_reports.h"
#include "lines/modem/voice_compression.h"

using namespace modemline;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

size_t Feed(DleDecoder& decoder, const std::string& in, std::string& data, std::string& events) {
    return decoder.Feed(reinterpret_cast<const BYTE*>(in.data()), in.size(), data, events);
}

TEST(DleCoding, ShieldingDoublesEveryDleAndMatchesTheModemsOwn) {
    const std::string audio = Bytes({0x10, 0x00, 0x10, 0x10, 0x1A, 0x03, 0x80, 0x10});
    std::string out;
    ShieldDle(reinterpret_cast<const BYTE*>(audio.data()), audio.size(), out);
    EXPECT_EQ(out, Bytes({0x10, 0x10, 0x00, 0x10, 0x10, 0x10, 0x10, 0x1A, 0x03, 0x80, 0x10, 0x10}));
    EXPECT_EQ(out, modemsim::Shield(audio));
}

TEST(DleCoding, DecoderUndoesTheModemsShieldingWhateverTheReadBoundaries) {
    std::string audio;
    for (int i = 0; i < 600; i++) audio.push_back(static_cast<char>(i % 3 == 0 ? 0x10 : i));
    const std::string shielded = modemsim::Shield(audio);
    for (size_t piece : {1u, 2u, 3u, 7u, 64u}) {
        DleDecoder decoder;
        std::string data;
        std::string events;
        for (size_t at = 0; at < shielded.size(); at += piece)
            Feed(decoder, shielded.substr(at, piece), data, events);
        EXPECT_EQ(data, audio) << "reads of " << piece << " bytes";
        EXPECT_TRUE(events.empty());
    }
}

TEST(DleCoding, SubIsTwoDlesCodesAreEventsAndEtxEndsTheData) {
    DleDecoder decoder;
    std::string data;
    std::string events;
    const std::string in = Bytes({'a', 0x10, 0x1A, 'b', 0x10, '5', 0x10, 'Z', 'c', 0x10, 0x03, 'O', 'K'});
    const size_t used = Feed(decoder, in, data, events);
    EXPECT_EQ(data, Bytes({'a', 0x10, 0x10, 'b', 'c'}));
    EXPECT_EQ(events, Bytes({'5', 'Z', 0x03}));
    EXPECT_EQ(used, in.size() - 2) << "the result code after DLE ETX is left for the command reader";
}

TEST(DleCoding, DlePairSplitAcrossTwoReadsIsJoined) {
    DleDecoder decoder;
    std::string data;
    std::string events;
    Feed(decoder, Bytes({'x', 0x10}), data, events);
    EXPECT_EQ(data, "x");
    Feed(decoder, Bytes({0x10, 0x10}), data, events);
    Feed(decoder, Bytes({'b'}), data, events);
    EXPECT_EQ(data, Bytes({'x', 0x10}));
    EXPECT_EQ(events, "b");
}

TEST(ModemReports, LinesAndCodesAreSplitAcrossReads) {
    ReportSplitter splitter;
    std::vector<ModemReport> out;
    const std::string first = "\r\nRI";
    const std::string second = Bytes({'N', 'G', '\r', '\n', 0x10});
    const std::string third = Bytes({'R', '\r', '\n', 'O', 'K', '\r', '\n'});
    for (const std::string* part : {&first, &second, &third})
        splitter.Feed(reinterpret_cast<const BYTE*>(part->data()), part->size(), out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].line, "RING");
    EXPECT_EQ(out[1].kind, ModemReport::Kind::kCode);
    EXPECT_EQ(out[1].code, 'R');
    EXPECT_EQ(ClassifyLine(out[2].line), ResultCode::kOk);
    EXPECT_EQ(ClassifyLine("CONNECT 9600"), ResultCode::kConnect);
    EXPECT_EQ(ClassifyLine("VCON"), ResultCode::kVcon);
    EXPECT_EQ(ClassifyLine("NMBR = 5"), ResultCode::kNone);
}

std::string Press(DtmfCounter& counter, const std::string& codes) {
    std::string digits;
    for (char c : codes)
        if (auto d = counter.OnCode(c)) digits.push_back(*d);
    return digits;
}

TEST(ModemReports, EachTouchToneStyleCountsEveryPressOnce) {
    DtmfCounter counter;
    EXPECT_EQ(Press(counter, "/1~/2~/2~"), "122") << "bracketed";
    EXPECT_EQ(Press(counter, "/3333~/4444~/3~"), "343") << "repeated while held";
    EXPECT_EQ(Press(counter, "55*#"), "55*#") << "one bare code per press";
    EXPECT_EQ(Press(counter, "bRs"), "") << "other reports are no digits";
}

TEST(ModemReports, HangUpReportsAreTheLineAndToneReports) {
    for (char code : {'l', 'b', 'd', 's', 'q'}) EXPECT_TRUE(IsHangUpCode(code)) << code;
    for (char code : {'R', 'u', 'o', '5', 'h', 'c', 'e'}) EXPECT_FALSE(IsHangUpCode(code)) << code;
}

TEST(ModemReports, CallerIdSpacedUnspacedPrivateAndOutOfArea) {
    CallerIdFields fields;
    EXPECT_TRUE(ParseCallerIdLine("NMBR = 5551234", fields));
    EXPECT_TRUE(ParseCallerIdLine("NAME=ALICE SMITH", fields));
    EXPECT_TRUE(ParseCallerIdLine("DATE=0321", fields));
    EXPECT_FALSE(ParseCallerIdLine("RING", fields));
    EXPECT_FALSE(ParseCallerIdLine("FOO = 1", fields));
    EXPECT_EQ(fields.number.value_or(""), "5551234");
    EXPECT_EQ(fields.name.value_or(""), "ALICE SMITH");
    EXPECT_EQ(fields.date, "0321");

    CallerIdFields withheld;
    ParseCallerIdLine("NMBR = P", withheld);
    ParseCallerIdLine("NAME = O", withheld);
    EXPECT_FALSE(withheld.number.has_value());
    EXPECT_TRUE(withheld.numberPrivate);
    EXPECT_TRUE(withheld.nameOutOfArea);

    CallerIdFields dialled;
    ParseCallerIdLine("DDN_NMBR= 0800123", dialled);
    EXPECT_EQ(dialled.number.value_or(""), "0800123");
}

TEST(Compression, EachFamilysListGivesItsG711OrLinearEntry) {
    const std::vector<std::string> v253 = {"0,\"SIGNED PCM\",8,0,(8000),(0),(0)",
                                           "1,\"UNSIGNED PCM\",8,0,(8000),(0),(0)",
                                           "4,\"G.711U\",8,0,(8000),(0),(0)", "5,\"G.711A\",8,0,(8000),(0),(0)"};
    EXPECT_EQ(ChooseCompression(v253, 1).id, 4);
    EXPECT_EQ(ChooseCompression(v253, 1).encoding, VoiceEncoding::kMuLaw);

    const std::vector<std::string> vendor = {"1,\"UNSIGNED PCM\",8,0,8000,0,0", "129,\"ADPCM\",4,0,8000,0,0",
                                             "132,\"ALAW\",8,0,8000,0,0", "133,\"LINEAR,16\",16,0,8000,0,0"};
    EXPECT_EQ(ChooseCompression(vendor, 1).id, 132);

    // Only vendor linear and ADPCM, as some chips list (with a prefix).
    const std::vector<std::string> linear = {"+VSM: 129,\"ADPCM\",4", "+VSM: 130,\"UNSIGNED PCM\",8",
                                             "+VSM: 140,\"16-BIT LINEAR\",16"};
    EXPECT_EQ(ChooseCompression(linear, 1).id, 130);
    EXPECT_EQ(ChooseCompression(linear, 1).encoding, VoiceEncoding::kUnsigned8);

    const std::vector<std::string> sixteen = {"2,\"ADPCM\",4", "7,\"SIGNED PCM\",16,0,(8000)"};
    EXPECT_EQ(ChooseCompression(sixteen, 1).encoding, VoiceEncoding::kLinear16);

    const VoiceCompression none = ChooseCompression({"2,\"ADPCM\",4", "garbage"}, 1);
    EXPECT_EQ(none.id, 1);
    EXPECT_EQ(none.encoding, VoiceEncoding::kUnsigned8);
    EXPECT_EQ(SilenceByte(none.encoding), 0x80);
}

TEST(Profiles, IdentityAndUserNamesPickTheFamily) {
    EXPECT_EQ(FamilyFromIdentity("Rockwell RC56 Voice"), ModemFamily::kRockwell);
    EXPECT_EQ(FamilyFromIdentity("CONEXANT CX93010 ACF Modem"), ModemFamily::kConexant);
    EXPECT_EQ(FamilyFromIdentity("Vocerra Test Modems VoiceSim 253"), ModemFamily::kV253);
    ModemFamily family = ModemFamily::kV253;
    EXPECT_TRUE(FamilyByName("v.253 WITHOUT flow control", &family));
    EXPECT_EQ(family, ModemFamily::kV253NoFlowControl);
    EXPECT_FALSE(FamilyByName("Hayes", &family));
}

}  // namespace

namespace {

TEST(ModemReports, NoiseWithoutLineEndsCannotGrowALineForEver) {
    ReportSplitter splitter;
    std::vector<ModemReport> out;
    const std::string noise(100000, 'x');
    splitter.Feed(reinterpret_cast<const BYTE*>(noise.data()), noise.size(), out);
    EXPECT_LE(splitter.Partial().size(), 256u);
    const std::string ok = "\r\nOK\r\n";
    splitter.Feed(reinterpret_cast<const BYTE*>(ok.data()), ok.size(), out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(ClassifyLine(out.back().line), ResultCode::kOk);
}

}  // namespace

namespace {

// A caller-ID message in hex, its length and checksum filled in.
std::string Message(int type, const std::string& body) {
    std::string bytes{static_cast<char>(type), static_cast<char>(body.size())};
    bytes += body;
    unsigned sum = 0;
    for (char b : bytes) sum += static_cast<unsigned char>(b);
    bytes.push_back(static_cast<char>((0x100 - (sum & 0xFF)) & 0xFF));
    std::string hex;
    char pair[4];
    for (char b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(b));
        hex += pair;
    }
    return hex;
}

std::string Parameter(int id, const std::string& value) {
    return std::string{static_cast<char>(id), static_cast<char>(value.size())} + value;
}

TEST(ModemReports, UnformattedCallerIdInBothMessageFormats) {
    CallerIdFields multiple;
    const std::string mdmf =
        Message(0x80, Parameter(0x01, "12072315") + Parameter(0x02, "5551234") + Parameter(0x07, "ALICE"));
    EXPECT_TRUE(ParseCallerIdLine("MESG = " + mdmf, multiple));
    EXPECT_EQ(multiple.number.value_or(""), "5551234");
    EXPECT_EQ(multiple.name.value_or(""), "ALICE");

    CallerIdFields withheld;
    EXPECT_TRUE(DecodeCallerIdMessage(Message(0x80, Parameter(0x04, "P") + Parameter(0x08, "O")), withheld));
    EXPECT_TRUE(withheld.numberPrivate);
    EXPECT_TRUE(withheld.nameOutOfArea);

    CallerIdFields single;
    EXPECT_TRUE(DecodeCallerIdMessage(Message(0x04, "12072315" + std::string("O")), single));
    EXPECT_TRUE(single.numberOutOfArea);

    // A damaged message gives nothing rather than a wrong number.
    std::string damaged = mdmf;
    damaged[8] = damaged[8] == '3' ? '4' : '3';
    CallerIdFields none;
    EXPECT_FALSE(DecodeCallerIdMessage(damaged, none));
    EXPECT_FALSE(DecodeCallerIdMessage("80 05 02", none));
    EXPECT_FALSE(none.number.has_value());
}

}  // namespace

// Reading a caller's offer and choosing the G.711 law to answer with.
#include <gtest/gtest.h>

#include "lines/sip/sdp_offer.h"

namespace sipline {
namespace {

std::string Offer(const std::string& media, const std::string& extra = "") {
    return "v=0\r\no=- 1 1 IN IP4 192.0.2.9\r\ns=-\r\nc=IN IP4 192.0.2.1\r\nt=0 0\r\n" + media + extra;
}

TEST(SdpOffer, FirstG711InTheCallersOrderWinsAndTelephoneEventsKeepTheirType) {
    MediaOffer offer;
    ASSERT_TRUE(ParseOffer(Offer("m=audio 4000 RTP/AVP 9 8 0 96\r\na=rtpmap:96 telephone-event/8000\r\n"), &offer));
    EXPECT_EQ(offer.address, "192.0.2.1");
    EXPECT_EQ(offer.port, 4000);
    CodecChoice choice = ChooseCodec(offer);
    EXPECT_EQ(choice.codec, Codec::kPcma);
    EXPECT_EQ(choice.payloadType, 8);
    EXPECT_EQ(choice.telephoneEventType, 96);
}

TEST(SdpOffer, DynamicTypesAreKnownByNameAndStaticNumbersByThemselves) {
    MediaOffer offer;
    // 0 renamed to something else is not PCMU; PCMU on 112 is.
    ASSERT_TRUE(ParseOffer(Offer("m=audio 4000 RTP/AVP 0 112\r\na=rtpmap:0 G722/8000\r\n"
                                 "a=rtpmap:112 pcmu/8000/1\r\n"),
                           &offer));
    CodecChoice choice = ChooseCodec(offer);
    EXPECT_EQ(choice.codec, Codec::kPcmu);
    EXPECT_EQ(choice.payloadType, 112);
    EXPECT_EQ(choice.telephoneEventType, -1);
}

TEST(SdpOffer, NoG711OrADeclinedStreamLeavesNothingToAnswer) {
    MediaOffer offer;
    ASSERT_TRUE(ParseOffer(Offer("m=audio 4000 RTP/AVP 9 18 101\r\na=rtpmap:101 telephone-event/8000\r\n"), &offer));
    CodecChoice choice = ChooseCodec(offer);
    EXPECT_EQ(choice.codec, Codec::kNone);
    EXPECT_EQ(choice.telephoneEventType, -1) << "events alone are no call";
    ASSERT_TRUE(ParseOffer(Offer("m=audio 0 RTP/AVP 0\r\n"), &offer));
    EXPECT_EQ(ChooseCodec(offer).codec, Codec::kNone);
}

TEST(SdpOffer, MediaAddressOverridesTheSessionsAndOnlyTheAudioStreamCounts) {
    MediaOffer offer;
    ASSERT_TRUE(ParseOffer(Offer("m=video 5000 RTP/AVP 96\nc=IN IP4 198.51.100.7\n"
                                 "m=audio 6000 RTP/AVP 0\nc=IN IP4 203.0.113.5\n"
                                 "a=rtpmap:0 PCMU/8000\nm=audio 7000 RTP/AVP 8\n"),
                           &offer));
    EXPECT_EQ(offer.address, "203.0.113.5");
    EXPECT_EQ(offer.port, 6000);
    EXPECT_EQ(offer.payloadTypes, std::vector<int>{0});
}

TEST(SdpOffer, TextThatIsNoOfferIsRefused) {
    MediaOffer offer;
    EXPECT_FALSE(ParseOffer("", &offer));
    EXPECT_FALSE(ParseOffer("v=0\r\nm=audio 4000 RTP/AVP 0\r\n", &offer)) << "no address";
    EXPECT_FALSE(ParseOffer(Offer("m=audio 99999 RTP/AVP 0\r\n"), &offer));
    EXPECT_FALSE(ParseOffer(Offer("m=audio 4000 RTP/SAVP 0\r\n"), &offer)) << "encrypted media we cannot do";
}

TEST(SdpOffer, AnswerNamesOurAddressTheChosenLawAndTheCallersEventType) {
    CodecChoice choice{Codec::kPcma, 8, 96};
    const std::string sdp = BuildAnswer("192.0.2.44", 12000, choice, 7);
    MediaOffer back;
    ASSERT_TRUE(ParseOffer(sdp, &back));
    EXPECT_EQ(back.address, "192.0.2.44");
    EXPECT_EQ(back.port, 12000);
    EXPECT_EQ(back.payloadTypes, (std::vector<int>{8, 96}));
    EXPECT_EQ(back.rtpmap[96], "telephone-event/8000");
    EXPECT_NE(sdp.find("a=ptime:20\r\n"), std::string::npos);
    EXPECT_NE(BuildAnswer("2001:db8::1", 12000, choice, 7).find("c=IN IP6 2001:db8::1"), std::string::npos);
}

}  // namespace
}  // namespace sipline

// Pieces of the remote-party protocol: free text survives the encoding,
// malformed escapes and numbers are refused.
#include <gtest/gtest.h>

#include "call_options.h"
#include "call_script.h"
#include "lines/sim/sim_line_protocol.h"

namespace {

TEST(RemoteProtocol, EveryByteSurvivesEncodingAndNoEncodedTextSplitsARequest) {
    std::string all;
    for (int c = 0; c < 256; c++) all += static_cast<char>(c);
    const std::string encoded = simline::PercentEncode(all);
    EXPECT_EQ(encoded.find_first_of(" =\n\r"), std::string::npos);
    EXPECT_EQ(simline::PercentDecode(encoded), all);
    auto request = simline::ParseRequest("CALL name=" + simline::PercentEncode("Jane = Doe\n"));
    ASSERT_TRUE(request);
    bool bad = false;
    EXPECT_EQ(request->Value("name", &bad), "Jane = Doe\n");
    EXPECT_FALSE(bad);
    for (const char* broken : {"%", "%4", "%4g", "abc%"}) EXPECT_FALSE(simline::PercentDecode(broken)) << broken;
    EXPECT_FALSE(simline::ParseNumber("18446744073709551616", ~0ul));
    EXPECT_FALSE(simline::ParseNumber("+1", 10));
    EXPECT_FALSE(simline::ParseNumber("11", 10));
    EXPECT_EQ(simline::ParseNumber("10", 10), 10ul);
}

TEST(RemoteProtocol, DigitsAreGroupedWhereTheCallerWaits) {
    auto groups = callclient::SplitDigits("1#908172#,5,,6");
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0].digits, "1#");
    EXPECT_FALSE(groups[0].afterQuiet) << "typed into the greeting";
    EXPECT_EQ(groups[1].digits, "908172#");
    EXPECT_EQ(groups[2].digits, "5");
    EXPECT_EQ(groups[3].digits, "6");
    for (size_t i = 1; i < groups.size(); i++) EXPECT_TRUE(groups[i].afterQuiet) << i;
    auto late = callclient::SplitDigits(",#");
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].digits, "#");
    EXPECT_TRUE(late[0].afterQuiet) << "a leading ',' waits for the greeting to end";
    std::string error;
    auto options = callclient::ParseCallOptions({"--rings=4", "--hang-up-after", "2.5", "--name", "A B"}, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->rings, 4u);
    EXPECT_DOUBLE_EQ(options->hangUpAfter, 2.5);
    EXPECT_EQ(options->name, "A B");
}

}  // namespace

#include "store/config_ranges.h"

#include <gtest/gtest.h>

TEST(ConfigRanges, TypedNumbersBecomeTheStoredSettings) {
    EXPECT_EQ(VM_RingsFromText(""), 3);
    EXPECT_EQ(VM_RingsFromText(nullptr), 3);
    EXPECT_EQ(VM_RingsFromText("0"), 1);
    EXPECT_EQ(VM_RingsFromText("x"), 1);
    EXPECT_EQ(VM_RingsFromText("7"), 7);
    EXPECT_EQ(VM_RingsFromText("123"), 12) << "the field takes 2 characters";

    EXPECT_EQ(VM_CallMinutesFromText(""), 0);
    EXPECT_EQ(VM_CallMinutesFromText("000"), 0);
    EXPECT_EQ(VM_CallMinutesFromText("45"), 45);
    EXPECT_EQ(VM_CallMinutesFromText("99999"), 999);
    EXPECT_EQ(VM_CallMinutesOnTick(0), 15);
    EXPECT_EQ(VM_CallMinutesOnTick(4), 4);
    EXPECT_FALSE(VM_CallLimitTicked(0));
    EXPECT_TRUE(VM_CallLimitTicked(1));

    EXPECT_EQ(VM_SilenceSecondsFromText(""), 10);
    EXPECT_EQ(VM_SilenceSecondsFromText("0"), 0);
    EXPECT_EQ(VM_SilenceSecondsFromText("5"), 5);
    EXPECT_EQ(VM_SilenceSecondsFromText("250"), 25);
    EXPECT_EQ(VM_SilenceLevelFromSlider(-3), 0);
    EXPECT_EQ(VM_SilenceLevelFromSlider(101), 100);
}

TEST(ConfigRanges, RetrievalPasswordsMustBeDigitsOnlyWhenEnabled) {
    EXPECT_TRUE(VM_RemotePasswordsAcceptable(true, "908172", "1"));
    EXPECT_FALSE(VM_RemotePasswordsAcceptable(true, "", "1"));
    EXPECT_FALSE(VM_RemotePasswordsAcceptable(true, "12", nullptr));
    EXPECT_FALSE(VM_RemotePasswordsAcceptable(true, "12a", "12"));
    EXPECT_FALSE(VM_RemotePasswordsAcceptable(true, "1234567", "12"));
    EXPECT_TRUE(VM_RemotePasswordsAcceptable(false, "", "abc"));
}

TEST(ConfigRanges, StoredValuesAreClampedWhereUsed) {
    EXPECT_EQ(VM_ClampSilenceLevel(-1), 0);
    EXPECT_EQ(VM_ClampSilenceLevel(30000), 100);
    EXPECT_EQ(VM_ClampSilenceSeconds(-32768), 0);
    EXPECT_EQ(VM_ClampSilenceSeconds(32767), 99);
    EXPECT_EQ(VM_ClampCallMinutes(2147483647), 999);
    EXPECT_EQ(VM_CallLimitMs(999), 59940000);
    EXPECT_EQ(VM_CallLimitMs(2147483647), 59940000) << "no overflow from a hand-edited file";
    EXPECT_EQ(VM_CallLimitMs(-4), 0);
}

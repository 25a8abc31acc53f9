#include "detect/silence_detector.h"

#include <gtest/gtest.h>

namespace {

TEST(SilenceDetector, RunOfQuietSamplesPassesTheTimeOutOnlyAfterIt) {
    VM_CSilenceDetector d(10000, 786, 8000);
    EXPECT_EQ(d.Timeout(), 80000);
    for (int i = 0; i < 80000; ++i) d.VM_Detect(i % 2 ? 785 : -785);
    EXPECT_FALSE(d.VM_IsDetected());
    d.VM_Detect(0);
    EXPECT_TRUE(d.VM_IsDetected());
    d.VM_Detect(-786);  // magnitude at the level is sound
    EXPECT_EQ(d.Total(), 0);
    d.VM_Detect(-785.9);
    EXPECT_EQ(d.Total(), 1);
    d.VM_Detect(786);
    EXPECT_EQ(d.Total(), 0);
}

TEST(SilenceDetector, BufferIsSilentOnlyWhenTheRunIsLongerThanIt) {
    VM_CSilenceDetector d(10000, 786, 8000);
    d.VM_Detect(5000);
    for (int i = 0; i < 800; ++i) d.VM_Detect(10);
    EXPECT_EQ(d.Total(), 800);
    EXPECT_FALSE(d.VM_IsLongerThan(800));
    for (int i = 0; i < 800; ++i) d.VM_Detect(10);
    EXPECT_TRUE(d.VM_IsLongerThan(800));
    EXPECT_FALSE(d.VM_IsLongerThan(0));
}

TEST(SilenceDetector, CreditedTimeWithoutSamplesCountsAndSaturates) {
    VM_CSilenceDetector d(10000, 786, 8000);
    d.VM_AddSilenceTime(250);
    EXPECT_EQ(d.Total(), 2000);
    d.VM_AddSilenceTime(-5);
    d.VM_AddSilenceTime(0);
    EXPECT_EQ(d.Total(), 2000);
    d.VM_AddSilenceTime(4294967295LL);  // a tick count that wrapped
    EXPECT_EQ(d.Total(), INT32_MAX);
    d.VM_AddSilenceTime(1000);
    d.VM_Detect(0);
    EXPECT_EQ(d.Total(), INT32_MAX);
    EXPECT_TRUE(d.VM_IsDetected());
}

TEST(SilenceDetector, LevelOrTimeOfZeroSwitchesItOff) {
    VM_CSilenceDetector noLevel(10000, 0, 8000);
    VM_CSilenceDetector noTime(0, 786, 8000);
    for (int i = 0; i < 100000; ++i) {
        noLevel.VM_Detect(0);
        noTime.VM_Detect(0);
    }
    EXPECT_EQ(noLevel.Total(), 0);
    EXPECT_EQ(noTime.Total(), 0);
    noTime.VM_AddSilenceTime(20000);
    EXPECT_FALSE(noTime.VM_IsDetected());
    EXPECT_FALSE(noTime.VM_IsLongerThan(1));
}

TEST(SilenceDetector, RunsOfSamplesEqualOneByOne) {
    VM_CSilenceDetector a(10000, 786, 8000), b(10000, 786, 8000);
    double x[1000];
    for (int i = 0; i < 1000; ++i) x[i] = (i * 37 % 101 == 0) ? 900 : (i % 13) * 50 - 300;
    for (double v : x) a.VM_Detect(v);
    b.VM_DetectSamples(x, 1000);
    EXPECT_EQ(a.Total(), b.Total());
    EXPECT_GT(a.Total(), 0);
}

}  // namespace

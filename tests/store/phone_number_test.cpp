#include "store/phone_number.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PhoneNumber, NormalisingKeepsDigitsAndTheWildcard) {
    EXPECT_EQ("5550107788", VM_NormalizePhone("(555) 010-7788"));
    EXPECT_EQ("55501077?8", VM_NormalizePhone("555-01077?8 ext."));
    EXPECT_EQ("", VM_NormalizePhone("Private"));
    EXPECT_EQ("", VM_NormalizePhone(nullptr));
    EXPECT_TRUE(VM_IsValidPhone("call 5"));
    EXPECT_FALSE(VM_IsValidPhone(" - () "));
    EXPECT_TRUE(VM_IsValidPhone("?"));
}

TEST(PhoneNumber, NamesNeedMoreThanBlanks) {
    EXPECT_TRUE(VM_IsValidName(" A "));
    EXPECT_FALSE(VM_IsValidName("   "));
    EXPECT_FALSE(VM_IsValidName(""));
    EXPECT_FALSE(VM_IsValidName(nullptr));
    // Blanks are spaces only, as everywhere else: a tab is not one.
    EXPECT_TRUE(VM_IsValidName("\t"));
    EXPECT_TRUE(VM_IsValidName(" \t "));
}

TEST(PhoneNumber, MatchingIgnoresPunctuationButNeverLength) {
    EXPECT_TRUE(VM_PhoneMatch("(555) 010-7788", "555-0107788"));
    EXPECT_TRUE(VM_PhoneMatch("(555) 010-7788", "55501077?8"));
    EXPECT_FALSE(VM_PhoneMatch("(555) 010-7788", "1-555-010-7788"));
    EXPECT_FALSE(VM_PhoneMatch("5550107788", "555010778"));
    EXPECT_FALSE(VM_PhoneMatch("5550107788", "5550107789"));
}

TEST(PhoneNumber, WildcardsMatchAnyDigitOnEitherSideAtTheSameLength) {
    for (int last = 0; last <= 9; ++last) {
        std::string caller = "555-010" + std::to_string(last);
        EXPECT_TRUE(VM_PhoneMatch("555-010?", caller.c_str())) << caller;
        EXPECT_TRUE(VM_PhoneMatch(caller.c_str(), "555-010?")) << caller;
    }
    EXPECT_TRUE(VM_PhoneMatch("555-01??", "5550199"));
    EXPECT_FALSE(VM_PhoneMatch("555-01??", "5550299"));
    // A wildcard stands for one digit, not for none or several.
    EXPECT_FALSE(VM_PhoneMatch("555-010?", "555010"));
    EXPECT_FALSE(VM_PhoneMatch("555-010?", "55501000"));
    EXPECT_FALSE(VM_PhoneMatch("?", ""));
    EXPECT_FALSE(VM_PhoneMatch("", ""));
    EXPECT_FALSE(VM_PhoneMatch(nullptr, "5550100"));
    EXPECT_FALSE(VM_PhoneMatch("Private", "Private"));
}

}  // namespace

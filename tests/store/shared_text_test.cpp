#include "store/shared_text.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

TEST(SharedText, EmptyIsAbsentAndCopiesAreTheCallers) {
    VM_CSharedText text("908172");
    std::unique_ptr<char[]> copy(text.VM_Copy());
    text.VM_Set("1");
    EXPECT_STREQ(copy.get(), "908172");
    text.VM_Set("");
    EXPECT_FALSE(text.VM_IsPresent());
    EXPECT_EQ(text.VM_Copy(), nullptr);
    VM_CSharedText other("4711");
    text.VM_SetFrom(other);
    EXPECT_EQ(text.VM_String(), "4711");
}

// A call's worker thread resets the password while the main thread reads it:
// every read must see one whole value or the other, never a torn or freed one.
TEST(SharedTextConcurrency, ReadersSeeWholeValuesWhileAWriterReplacesThem) {
    const std::string first = "908172";
    const std::string second = "13579246801357924680";  // longer: a reallocation
    VM_CSharedText text(first.c_str());
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) text.VM_Set((i % 2 ? first : second).c_str());
        stop = true;
    });
    int torn = 0;
    long reads = 0;
    while (!stop || reads == 0) {
        std::unique_ptr<char[]> copy(text.VM_Copy());
        std::string seen = copy ? copy.get() : "";
        if (seen != first && seen != second) ++torn;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

#include "app/views/mediator.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

using testsupport::ReadFileBytes;
using testsupport::TempDir;

TEST(Mediator, UnboundEntryIsTracedAndReturnsZero) {
    TempDir dir(true);  // the trace file goes to the current folder
    VM_CMediator mediator;
    ASSERT_TRUE(mediator.VM_Register(40045, nullptr));
    EXPECT_EQ(mediator.VM_Execute(40045, nullptr), 0);
    EXPECT_NE(ReadFileBytes(dir.file("dbg_err.txt")).find("command 40045 has no handler"), std::string::npos);
}

TEST(Mediator, UnknownKeyReturnsZeroWithoutRunningAnything) {
    VM_CMediator mediator;
    int runs = 0;
    mediator.VM_Register(1, [&](void*) { return ++runs; });
    EXPECT_EQ(mediator.VM_Execute(2, nullptr), 0);
    EXPECT_EQ(runs, 0);
}

TEST(Mediator, FortiethEntryIsIgnored) {
    VM_CMediator mediator;
    for (int key = 0; key < VM_CMediator::kMaxEntries; ++key)
        ASSERT_TRUE(mediator.VM_Register(key, [key](void*) { return key + 100; }));
    EXPECT_FALSE(mediator.VM_Register(99, [](void*) { return 1; }));
    EXPECT_EQ(mediator.VM_GetCount(), VM_CMediator::kMaxEntries);
    EXPECT_EQ(mediator.VM_Execute(99, nullptr), 0);
    EXPECT_EQ(mediator.VM_Execute(38, nullptr), 138);
}

TEST(Mediator, FirstEntryWithTheKeyWinsAndGetsTheArgument) {
    VM_CMediator mediator;
    void* seen = nullptr;
    mediator.VM_Register(7, [&](void* arg) {
        seen = arg;
        return 1;
    });
    mediator.VM_Register(7, [](void*) { return 2; });
    int value = 0;
    EXPECT_EQ(mediator.VM_Execute(7, &value), 1);
    EXPECT_EQ(seen, &value);
}

TEST(ConcreteCmd, NoneKeyDoesNothingOtherKeysReachTheMediator) {
    VM_CMediator mediator;
    int runs = 0;
    mediator.VM_Register(-1, [&](void*) { return ++runs; });
    mediator.VM_Register(0, [&](void*) { return ++runs + 10; });
    EXPECT_EQ(VM_CConcreteCmd(VM_CConcreteCmd::kNone, &mediator).VM_Execute(nullptr), 0);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(VM_CConcreteCmd(0, &mediator).VM_Execute(nullptr), 11);
    EXPECT_EQ(VM_CConcreteCmd(0, nullptr).VM_Execute(nullptr), 0);
}

#include "store/address_book.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "address_book_fixture.h"

using storetest::AddressBookFiles;
using storetest::EntryTexts;
using testsupport::WriteFileBytes;

namespace {

class AddressBook : public AddressBookFiles {};

TEST_F(AddressBook, MatchesNumbersWrittenDifferentlyButNotLongerOnes) {
    int32_t friends = AddFolder(0, "My Friends");
    AddEntry(friends, {"Ann", "555-0107788"});
    AddEntry(friends, {"Wild", nullptr, nullptr, "66601077?8"});
    VM_CAddressBook book(m_cfg.get());
    EXPECT_EQ("Ann", book.VM_LookupName("(555) 010-7788").value_or("-"));
    EXPECT_EQ("Wild", book.VM_LookupName("666 010 7758").value_or("-"));
    EXPECT_FALSE(book.VM_LookupName("1-555-010-7788"));
    EXPECT_FALSE(book.VM_LookupName("555-010-778"));
    EXPECT_EQ(-1, book.VM_LookupFolder("not a number", 0));
    EXPECT_EQ(-1, book.VM_LookupFolder(nullptr, 0));
}

TEST_F(AddressBook, SpecialWordsMatchOnlyTheSameWord) {
    int32_t folder = AddFolder(0, "Blocked");
    AddEntry(folder, {"Private callers", "Private", nullptr, nullptr, VM_CAddrEntry::kFlagBlockHangUp});
    VM_CAddressBook book(m_cfg.get());
    DWORD flags = 0;
    EXPECT_TRUE(book.VM_LookupFlags(" private ", &flags));
    EXPECT_EQ(VM_CAddrEntry::kFlagBlockHangUp, flags);
    EXPECT_FALSE(book.VM_LookupFlags("Unknown", &flags));
    EXPECT_FALSE(book.VM_LookupFlags("5550100", &flags));
    EXPECT_EQ(folder, book.VM_LookupFolder("PRIVATE", 0));
}

TEST_F(AddressBook, FirstFolderInTreeOrderThenFirstEntryInListOrderWins) {
    int32_t first = AddFolder(0, "First");
    int32_t second = AddFolder(0, "Second");
    AddEntry(second, {"In second", "555-0100"});
    AddEntry(first, {"Earlier in first", nullptr, "555-0100"});
    AddEntry(first, {"Later in first", "555-0100"});
    VM_CAddressBook book(m_cfg.get());
    EXPECT_EQ("Earlier in first", book.VM_LookupName("5550100").value_or("-"));
    EXPECT_EQ(first, book.VM_LookupFolder("5550100", 0));
}

TEST_F(AddressBook, CellularIsTestedBeforeHomeAndOffice) {
    int32_t folder = AddFolder(0, "Friends");
    AddEntry(folder, {"Ann", "555-0100", "(555) 0100", "555 01 00"});
    AddEntry(folder, {"Bob", "555-0200", "555-02??"});
    VM_CAddressBook book(m_cfg.get());
    EXPECT_EQ("Ann", book.VM_LookupName("5550100").value_or("-"));
    EXPECT_EQ("555 01 00", book.VM_GetMatchedNumber().value_or("-"));
    EXPECT_EQ("Bob", book.VM_LookupName("5550200").value_or("-"));
    EXPECT_EQ("555-02??", book.VM_GetMatchedNumber().value_or("-"));
}

TEST_F(AddressBook, FoldersWithoutAListFileAreSkipped) {
    AddFolder(0, "Empty");
    int32_t full = AddFolder(0, "Full");
    AddEntry(full, {"Ann", "555-0100"});
    VM_CAddressBook book(m_cfg.get());
    EXPECT_EQ(full, book.VM_LookupFolder("555-0100", 0));
}

TEST_F(AddressBook, GreetingIsGivenOnlyWhenItsFileExists) {
    int32_t folder = AddFolder(0, "Friends");
    std::string greeting = m_dir.file("Grt0000.Wav");
    WriteFileBytes(greeting, "RIFF");
    AddEntry(folder, {"With", "555-0100", nullptr, nullptr, 0, greeting.c_str()});
    AddEntry(folder, {"Gone", "555-0200", nullptr, nullptr, 0, m_dir.file("gone.wav").c_str()});
    VM_CAddressBook book(m_cfg.get());
    EXPECT_EQ(greeting, book.VM_LookupGreeting("5550100").value_or("-"));
    EXPECT_FALSE(book.VM_LookupGreeting("5550200"));
    EXPECT_EQ("Gone", book.VM_LookupName("5550200").value_or("-"));
}

TEST_F(AddressBook, RepeatedLookupsUseTheCacheUntilReloaded) {
    int32_t folder = AddFolder(0, "Friends");
    AddEntry(folder, {"Ann", "555-0100"});
    VM_CAddressBook book(m_cfg.get());
    EXPECT_EQ("Ann", book.VM_LookupName("555-0100").value_or("-"));

    // An edit in the main window: the next call sees it after the reload.
    std::unique_ptr<char[]> list(m_cfg->VM_GetAddressListFileName(folder));
    std::remove(list.get());
    AddEntry(folder, {"Bob", "555-0100"});
    EXPECT_EQ("Ann", book.VM_LookupName("(555) 0100").value_or("-"));
    EXPECT_EQ("Ann", book.VM_LookupName("555-0100").value_or("-"));
    // An invalid number neither matches nor disturbs the cache.
    EXPECT_FALSE(book.VM_LookupName("none"));
    EXPECT_EQ("Ann", book.VM_LookupName("555-0100").value_or("-"));
    // Without the cache bit the search runs again.
    EXPECT_EQ(folder, book.VM_LookupFolder("555-0100", 0));
    EXPECT_EQ("Bob", book.VM_LookupName("555-0100").value_or("-"));

    book.VM_Reload();
    std::remove(list.get());
    AddEntry(folder, {"Cy", "555-0100"});
    EXPECT_EQ("Cy", book.VM_LookupName("555-0100").value_or("-"));
}

TEST_F(AddressBook, ExcludedEntryIsSkippedOnlyWhenAskedFor) {
    int32_t folder = AddFolder(0, "Friends");
    int32_t ann = AddEntry(folder, {"Ann", "555-0100"});
    VM_CAddressBook book(m_cfg.get());
    book.VM_Exclude(folder, ann);
    EXPECT_EQ(-1, book.VM_LookupFolder("555-0100", VM_CAddressBook::kModeSkipExcluded));
    EXPECT_EQ(-1, book.VM_LookupFolder("555-0100", VM_CAddressBook::kModeSkipExcluded |
                                                       VM_CAddressBook::kModeUseCache));
    // A search that skipped the entry does not answer one that must not.
    EXPECT_EQ(folder, book.VM_LookupFolder("555-0100", VM_CAddressBook::kModeUseCache));
    EXPECT_EQ("Ann", book.VM_LookupName("555-0100").value_or("-"));
    int32_t other = AddFolder(0, "Other");
    AddEntry(other, {"Ann again", "555-0100"});
    book.VM_Reload();
    EXPECT_EQ(other, book.VM_LookupFolder("555-0100", VM_CAddressBook::kModeSkipExcluded));
}

TEST_F(AddressBook, ReadsTheTreeFileWithoutEverWritingItAndRecoversFromDamage) {
    int32_t folder = AddFolder(0, "Friends");
    AddEntry(folder, {"Ann", "555-0100"});
    const std::string good = testsupport::ReadFileBytes(m_treeFile);
    WriteFileBytes(m_treeFile, good.substr(0, good.size() - 5));
    {
        VM_CAddressBook book(m_cfg.get());
        EXPECT_FALSE(book.VM_LookupName("555-0100"));
        WriteFileBytes(m_treeFile, good);
        book.VM_Reload();
        EXPECT_EQ("Ann", book.VM_LookupName("555-0100").value_or("-"));
        WriteFileBytes(m_treeFile, "damaged");
        book.VM_Reload();
        EXPECT_FALSE(book.VM_LookupName("555-0100"));
    }
    EXPECT_EQ("damaged", testsupport::ReadFileBytes(m_treeFile));
}

TEST_F(AddressBook, WithoutConfigurationNothingMatches) {
    VM_CAddressBook book(nullptr);
    book.VM_Reload();
    DWORD flags = 0;
    EXPECT_FALSE(book.VM_LookupFlags("555-0100", &flags));
    EXPECT_EQ(-1, book.VM_LookupFolder("Private", 0));
}

using AddressBookConcurrency = AddressBookFiles;

// The answer machine reloads on the main thread while the call's worker
// looks up flags and greetings in the same book.
// The tree the book searches is reachable only through the locked calls:
// a caller holding a tree pointer could change it under a lookup.
static_assert(!std::is_base_of_v<VM_CTree, VM_CAddressBook>, "the book's tree must not be public");
static_assert(!std::is_convertible_v<VM_CAddressBook*, VM_CTree*>);

TEST_F(AddressBookConcurrency, LookupsDuringReloadsSeeAWholeBook) {
    int32_t folder = AddFolder(0, "Friends");
    for (int i = 0; i < 20; ++i) {
        std::string number = "555-01" + std::to_string(10 + i);
        AddEntry(folder, {"Caller", number.c_str(), nullptr, nullptr, VM_CAddrEntry::kFlagBulkCall});
    }
    VM_CAddressBook book(m_cfg.get());
    std::atomic<bool> stop{false};
    std::atomic<int> misses{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                std::string number = "55501" + std::to_string(10 + (i + t) % 20);
                DWORD flags = 0;
                if (!book.VM_LookupFlags(number.c_str(), &flags) || flags != VM_CAddrEntry::kFlagBulkCall) ++misses;
                if (book.VM_LookupName(number.c_str()).value_or("") != "Caller") ++misses;
                book.VM_LookupGreeting(number.c_str());
            }
        });
    }
    std::thread reloader([&] {
        while (!stop) book.VM_Reload();
    });
    for (std::thread& worker : workers) worker.join();
    stop = true;
    reloader.join();
    EXPECT_EQ(0, misses.load());
}

}  // namespace

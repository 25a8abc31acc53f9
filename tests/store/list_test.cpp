#include "store/list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "store/stored_file.h"
#include "support/file_size_limit.h"
#include "support/stored_bytes.h"
#include "support/temp_dir.h"
#include "support/user_notices.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using storetest::Int32;
using storetest::Counted;
using storetest::FileSizeLimit;

namespace {

VM_CItem* MakeItem(const char* name, const char* number = nullptr) {
    auto* item = new VM_CItem(4);
    item->VM_SetAttr(2, name);
    item->VM_SetAttr(3, number);
    return item;
}

class AttrKey : public VM_ISortCbk {
public:
    std::optional<std::string> VM_GetSortKey(const VM_CItem& item, int column) override {
        return item.VM_GetAttrText(column);
    }
};

std::string Names(const VM_CList& list) {
    std::string names;
    for (int i = 0; i < list.VM_GetCount(); ++i) {
        const char* n = list.VM_GetAt(i)->VM_GetAttr(2);
        names += n ? n : "-";
        names += ' ';
    }
    return names;
}

}  // namespace

TEST(ListFile, SavesTheStoredLayout) {
    TempDir dir;
    std::string path = dir.file("QvLV0001.Cfg");
    VM_CItem proto(4);
    {
        VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
        list.m_id = 1;
        VM_CItem* first = MakeItem("Ann", "555-0100");
        first->VM_SetAttr(0, "1");
        list.VM_Append(first);
        list.VM_Append(MakeItem(""));
        EXPECT_TRUE(list.VM_Save());
    }
    std::string expected = Int32(1) + Int32(3) + Int32(2);
    expected += Int32(1) + std::string(1, '\x04') + Counted("1") + Counted("") + Counted("Ann") +
                Counted("555-0100");
    // An empty attribute and an absent one are both stored as length 0.
    expected += Int32(2) + std::string(1, '\x04') + Counted("") + Counted("") + Counted("") + Counted("");
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(ListFile, LoadsWhatItSavedAndRaisesTheNextIdentifier) {
    TempDir dir;
    std::string path = dir.file("QvLV0002.Cfg");
    // Next identifier 2 is not above the largest record identifier 7.
    std::string bytes = Int32(2) + Int32(2) + Int32(2);
    bytes += Int32(7) + std::string(1, '\x04') + Counted("") + Counted("note") + Counted("Bob") + Counted("");
    bytes += Int32(3) + std::string(1, '\x04') + Counted("") + Counted("") + Counted("Cy") + Counted("1");
    WriteFileBytes(path, bytes);
    VM_CItem proto(4);
    VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
    ASSERT_EQ(list.VM_GetCount(), 2);
    EXPECT_FALSE(list.VM_IsDamaged());
    EXPECT_EQ(list.m_id, 2);
    EXPECT_EQ(list.VM_GetAt(0)->m_id, 7);
    EXPECT_STREQ(list.VM_GetAt(0)->VM_GetAttr(1), "note");
    EXPECT_EQ(list.VM_GetAt(0)->VM_GetAttr(0), nullptr);
    EXPECT_EQ(list.VM_FindById(3), list.VM_GetAt(1));
    EXPECT_EQ(list.m_nextId, 8);
    VM_CItem* added = MakeItem("Dee");
    ASSERT_TRUE(list.VM_Append(added));
    EXPECT_EQ(added->m_id, 8);
    EXPECT_EQ(list.VM_SaveBytes().substr(0, 12), Int32(2) + Int32(9) + Int32(3));
}

TEST(ListFile, SavingAnEmptiedListDeletesItsFile) {
    TempDir dir;
    std::string path = dir.file("QvLV0003.Cfg");
    VM_CItem proto(4);
    {
        VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
        list.VM_Append(MakeItem("Ann"));
        ASSERT_TRUE(list.VM_Save());
        ASSERT_TRUE(FileExists(path));
        list.VM_RemoveAt(0, true);
        ASSERT_TRUE(list.VM_Save());
        EXPECT_FALSE(FileExists(path));
    }
    EXPECT_FALSE(FileExists(path));
}

TEST(ListFile, OnlyFileBackedListsSaveAndAChangedOneSavesWhenDestroyed) {
    TempDir dir;
    std::string path = dir.file("QvLV0004.Cfg");
    VM_CItem proto(4);
    {
        VM_CList snapshot(&proto, path.c_str(), 0);
        snapshot.VM_Append(MakeItem("Ann"));
        EXPECT_FALSE(snapshot.VM_Save());
    }
    EXPECT_FALSE(FileExists(path));
    {
        VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
        list.VM_Append(MakeItem("Ann"));
    }
    VM_CList reread(&proto, path.c_str(), 0);
    EXPECT_EQ(Names(reread), "Ann ");
}

TEST(ListFile, RecordsWithMoreAttributesKeepTheirFirstOnes) {
    // 17 attributes: more than any record holds. All are read, four kept.
    std::string bytes = Int32(0) + Int32(1) + Int32(2);
    bytes += Int32(5) + std::string(1, '\x11');
    for (int i = 0; i < 17; ++i) bytes += Counted("a" + std::to_string(i));
    bytes += Int32(6) + std::string(1, '\x01') + Counted("9");
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    ASSERT_TRUE(list.VM_LoadBytes(bytes));
    ASSERT_EQ(list.VM_GetCount(), 2);
    EXPECT_STREQ(list.VM_GetAt(0)->VM_GetAttr(3), "a3");
    EXPECT_EQ(list.VM_GetAt(0)->VM_GetAttr(4), nullptr);
    EXPECT_STREQ(list.VM_GetAt(1)->VM_GetAttr(0), "9");
    EXPECT_EQ(list.VM_GetAt(1)->VM_GetAttr(1), nullptr);
}

TEST(ListFile, OverlongAttributesAreCutWhenSetAndSkippedWhenRead) {
    VM_CItem item(4);
    item.VM_SetAttr(1, std::string(1500, 'x').c_str());
    EXPECT_EQ(std::string(item.VM_GetAttr(1)).size(), 998u);

    std::string bytes = Int32(0) + Int32(1) + Int32(1);
    bytes += Int32(1) + std::string(1, '\x04') + Counted("") + Counted(std::string(999, 'y')) + Counted("Ann") +
             Counted("");
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    ASSERT_TRUE(list.VM_LoadBytes(bytes));
    EXPECT_EQ(list.VM_GetAt(0)->VM_GetAttr(1), nullptr);
    EXPECT_STREQ(list.VM_GetAt(0)->VM_GetAttr(2), "Ann");
}

TEST(ListDamage, ADamagedFileKeepsWhatCanBeReadAndIsSetAsideNeverSavedOver) {
    TempDir dir;
    std::string path = dir.file("QvLV0005.Cfg");
    std::string good = Int32(5) + Int32(3) + Int32(3);
    good += Int32(1) + std::string(1, '\x04') + Counted("") + Counted("") + Counted("Ann") + Counted("");
    const std::string damaged[] = {
        // the third record's name runs past the end
        good + Int32(2) + std::string(1, '\x04') + Counted("") + Counted("") + Int32(50) + "Bo",
        // a negative length
        good + Int32(2) + std::string(1, '\x04') + Counted("") + Int32(-3),
        // the count promises more records than there are
        good,
    };
    VM_CItem proto(4);
    for (const std::string& bytes : damaged) {
        WriteFileBytes(path, bytes);
        testsupport::UserNotices notices;
        {
            VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
            EXPECT_TRUE(list.VM_IsDamaged());
            EXPECT_EQ(Names(list), "Ann ");
            list.VM_Append(MakeItem("New"));
            EXPECT_TRUE(list.VM_Save()) << "the folder refuses new calls for good";
        }
        EXPECT_EQ(ReadFileBytes(path + ".damaged"), bytes);
        EXPECT_EQ(notices.texts().size(), 1u);
        VM_CList reread(&proto, path.c_str(), VM_CList::kFileBacked);
        EXPECT_FALSE(reread.VM_IsDamaged());
        EXPECT_EQ(Names(reread), "Ann New ");
        std::filesystem::remove(path + ".damaged");
    }
}

// An older writer that crashed left an empty file: the folder takes new
// calls again, and a second damaged file is kept beside the first.
TEST(ListDamage, AnEmptyFileIsSetAsideAndTheListWorks) {
    TempDir dir;
    const std::string path = dir.file("QvLV0001.Cfg");
    VM_CItem proto(4);
    for (int round = 1; round <= 2; ++round) {
        WriteFileBytes(path, "");
        VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
        ASSERT_TRUE(list.VM_CanSave());
        EXPECT_TRUE(list.VM_Append(MakeItem("Call")));
        EXPECT_TRUE(list.VM_Save());
    }
    EXPECT_TRUE(FileExists(path + ".damaged"));
    EXPECT_TRUE(FileExists(path + ".2.damaged"));
    // A reader that never saves leaves a damaged file where it is.
    WriteFileBytes(path, "xy");
    VM_CList reader(&proto, path.c_str(), 0);
    EXPECT_EQ(ReadFileBytes(path), "xy");
    EXPECT_FALSE(FileExists(path + ".3.damaged"));
}

TEST(ListDamage, ImpossibleCountsAndTrailingBytesAreDamage) {
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    EXPECT_FALSE(list.VM_LoadBytes(Int32(0) + Int32(1) + Int32(-1)));
    EXPECT_FALSE(list.VM_LoadBytes(Int32(0) + Int32(1) + Int32(0x7FFFFFFF)));
    EXPECT_FALSE(list.VM_LoadBytes(Int32(0) + Int32(1)));
    EXPECT_FALSE(list.VM_LoadBytes(Int32(0) + Int32(1) + Int32(0) + "x"));
    EXPECT_TRUE(list.VM_LoadBytes(Int32(0) + Int32(1) + Int32(0)));
}

TEST(ListDamage, AFileThatCannotBeReadIsNotEmptyButDamaged) {
    TempDir dir;
    // A folder where the list file should be cannot be read as a file.
    std::string path = dir.file("QvLV0006.Cfg");
    ASSERT_TRUE(std::filesystem::create_directory(path));
    VM_CItem proto(4);
    VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
    EXPECT_TRUE(list.VM_IsDamaged());
    EXPECT_TRUE(std::filesystem::is_directory(path + ".damaged"));
}

namespace {

class FailingWriter : public VM_IFileWriter {
public:
    bool VM_Write(int fd, const void* data, std::size_t size) override {
        // Half the bytes reach the disk, then the writer gives up.
        ssize_t written = ::write(fd, data, size / 2);
        return written < 0 && written > 0;
    }
};

}  // namespace

TEST(ListSave, AFullDiskLeavesTheOldFileWhole) {
    TempDir dir;
    std::string path = dir.file("QvLV0007.Cfg");
    VM_CItem proto(4);
    VM_CList list(&proto, path.c_str(), VM_CList::kFileBacked);
    for (int i = 0; i < 20; ++i) list.VM_Append(MakeItem("Somebody", "555-0100"));
    ASSERT_TRUE(list.VM_Save());
    const std::string before = ReadFileBytes(path);
    for (int i = 0; i < 20; ++i) list.VM_Append(MakeItem("Somebody else", "555-0199"));
    bool saved;
    {
        FileSizeLimit limit(before.size() + 10);
        saved = list.VM_Save();
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(list.VM_HasChanged());
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ListSave, AWriterFailingMidwayLeavesTheOldFileWhole) {
    TempDir dir;
    std::string path = dir.file("QvLV0008.Cfg");
    WriteFileBytes(path, "old contents");
    FailingWriter writer;
    EXPECT_FALSE(VM_SaveStoredFile(path.c_str(), std::string(4096, 'n'), &writer));
    EXPECT_EQ(ReadFileBytes(path), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_TRUE(VM_SaveStoredFile(path.c_str(), "new"));
    EXPECT_EQ(ReadFileBytes(path), "new");
}

TEST(ListSort, IsStableInBothOrders) {
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    // Equal keys (ignoring case) must keep their relative order: the
    // number tells it.
    const char* names[][2] = {{"bob", "1"}, {"Ann", "2"}, {"BOB", "3"}, {"ann", "4"}, {"Bob", "5"},
                              {"ANN", "6"}, {"bob", "7"}, {"Ann", "8"}, {"bOb", "9"}};
    for (auto& n : names) list.VM_Append(MakeItem(n[0], n[1]));
    AttrKey key;
    auto numbers = [&] {
        std::string s;
        for (int i = 0; i < list.VM_GetCount(); ++i) s += list.VM_GetAt(i)->VM_GetAttr(3);
        return s;
    };
    list.VM_Sort(2, kSortAscending, &key);
    EXPECT_EQ(numbers(), "246813579");
    list.VM_Sort(2, kSortDescending, &key);
    EXPECT_EQ(numbers(), "135792468");
}

TEST(ListSort, KeepsTheOrderOfEqualKeysInALongList) {
    // Long enough that an unstable sort would reorder equal keys.
    const char* keys[] = {"b", "A", "c", "a", "B"};
    AttrKey key;
    for (int order : {kSortAscending, kSortDescending}) {
        VM_CItem proto(4);
        VM_CList list(&proto, nullptr, 0);
        for (int i = 0; i < 300; ++i) list.VM_Append(MakeItem(keys[(i * 7) % 5]));
        list.VM_Sort(2, order, &key);
        for (int i = 1; i < list.VM_GetCount(); ++i) {
            std::string prev = list.VM_GetAt(i - 1)->VM_GetAttr(2), cur = list.VM_GetAt(i)->VM_GetAttr(2);
            if (std::tolower(prev[0]) != std::tolower(cur[0])) continue;
            // Equal keys: still in appending order (the identifier tells it).
            EXPECT_LT(list.VM_GetAt(i - 1)->m_id, list.VM_GetAt(i)->m_id) << "order " << order << " at " << i;
        }
    }
}

TEST(ListSort, RecordsWithoutAKeyComeFirstAscendingAndLastDescending) {
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    list.VM_Append(MakeItem("b"));
    list.VM_Append(MakeItem(nullptr));
    list.VM_Append(MakeItem("A"));
    // Keys fold to lower case, so '_' (0x5F) sorts before every letter.
    list.VM_Append(MakeItem("_"));
    AttrKey key;
    list.VM_Sort(2, kSortAscending, &key);
    EXPECT_EQ(Names(list), "- _ A b ");
    list.VM_Sort(2, kSortDescending, &key);
    EXPECT_EQ(Names(list), "b A _ - ");
}

TEST(ListRecords, AppendRemoveAndFind) {
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    EXPECT_FALSE(list.VM_Append(nullptr));
    VM_CItem* a = MakeItem("A");
    VM_CItem* b = MakeItem("B");
    list.VM_Append(a);
    list.VM_Append(b);
    EXPECT_EQ(list.VM_GetAt(2), nullptr);
    EXPECT_EQ(list.VM_GetAt(-1), nullptr);
    EXPECT_EQ(list.VM_FindById(b->m_id), b);
    EXPECT_TRUE(list.VM_Remove(a, false));  // handed back, not destroyed
    EXPECT_EQ(list.VM_IndexOf(a), -1);
    EXPECT_FALSE(list.VM_Remove(a, false));
    EXPECT_STREQ(a->VM_GetAttr(2), "A");
    delete a;
    EXPECT_EQ(Names(list), "B ");
}

TEST(ListRecords, TheNextIdentifierSaturatesInsteadOfWrapping) {
    std::string bytes = Int32(0) + Int32(0x7FFFFFFE) + Int32(1) + Int32(0x7FFFFFFF) + std::string(1, '\0');
    VM_CItem proto(4);
    VM_CList list(&proto, nullptr, 0);
    ASSERT_TRUE(list.VM_LoadBytes(bytes));
    EXPECT_EQ(list.m_nextId, 0x7FFFFFFF);
    VM_CItem* item = MakeItem("x");
    list.VM_Append(item);
    EXPECT_EQ(item->m_id, 0x7FFFFFFF);
    EXPECT_EQ(list.m_nextId, 0x7FFFFFFF);
}

TEST(ItemFlags, AreDecimalTextInTheFirstAttribute) {
    VM_CItem item(8);
    EXPECT_EQ(item.VM_GetFlags(), 0u);
    item.VM_SetAttr(0, "");
    EXPECT_EQ(item.VM_GetFlags(), 0u);
    item.VM_AddFlags(0);
    EXPECT_STREQ(item.VM_GetAttr(0), "");
    item.VM_AddFlags(0x4);
    item.VM_AddFlags(0x10);
    EXPECT_STREQ(item.VM_GetAttr(0), "20");
    item.VM_ClearFlags(0x4);
    EXPECT_EQ(item.VM_GetFlags(), 0x10u);
    EXPECT_EQ(item.VM_GetAttr(8), nullptr);
    item.VM_SetAttr(8, "ignored");
    EXPECT_EQ(item.VM_GetAttr(8), nullptr);
    VM_CItem* copy = item.VM_Clone();
    EXPECT_EQ(copy->m_id, 0);
    EXPECT_STREQ(copy->VM_GetAttr(0), "16");
    copy->VM_Delete();
}

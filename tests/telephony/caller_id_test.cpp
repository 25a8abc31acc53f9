#include "telephony/caller_id.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "diag/trace.h"
#include "platform/tapi/tapi_constants.h"
#include "support/temp_dir.h"
#include "telephony/var_structs.h"

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace {

// Call information as a service would return it, built by hand: the fixed
// part, then the number and the name in the variable part.
struct CallInfoBytes {
    DWORD flags = 0;
    std::optional<std::string> number;  // bytes as sent, NUL included or not
    std::optional<std::string> name;

    std::vector<BYTE> Build() const {
        std::vector<BYTE> bytes(sizeof(LINECALLINFO), 0);
        LINECALLINFO info{};
        info.dwCallerIDFlags = flags;
        auto append = [&bytes](const std::optional<std::string>& part, DWORD& size, DWORD& offset) {
            if (!part) return;
            offset = static_cast<DWORD>(bytes.size());
            size = static_cast<DWORD>(part->size());
            bytes.resize(offset + size);
            if (size != 0) std::memcpy(bytes.data() + offset, part->data(), size);
        };
        append(number, info.dwCallerIDSize, info.dwCallerIDOffset);
        append(name, info.dwCallerIDNameSize, info.dwCallerIDNameOffset);
        info.dwTotalSize = info.dwNeededSize = info.dwUsedSize = static_cast<DWORD>(bytes.size());
        std::memcpy(bytes.data(), &info, sizeof info);
        return bytes;
    }
};

// Answers the query with fixed bytes, in a buffer exactly as large as they
// are, so that a read past the structure is a read past the allocation.
class HandBuiltCallInfor : public VM_CCallInfor {
public:
    explicit HandBuiltCallInfor(std::vector<BYTE> bytes) : VM_CCallInfor(0), m_bytes(std::move(bytes)) {
        VM_SetRequestSize(static_cast<DWORD>(m_bytes.size()));
    }
    LONG VM_Fetch() override {
        std::memcpy(m_pBuffer, m_bytes.data(), std::min<size_t>(m_bytes.size(), VM_GetRequestSize()));
        return 0;
    }

private:
    std::vector<BYTE> m_bytes;
};

struct Interpreted {
    std::string name;
    std::string number;
};

Interpreted InterpretBytes(const std::vector<BYTE>& bytes) {
    HandBuiltCallInfor info(bytes);
    EXPECT_EQ(0, info.VM_Query());
    std::vector<char> name(1000, 'x');
    std::vector<char> number(1000, '\0');
    EXPECT_TRUE(info.VM_GetInterpretedCallerID(name.data(), number.data()));
    return {name.data(), number.data()};
}

Interpreted Interpret(const CallInfoBytes& call) { return InterpretBytes(call.Build()); }

TEST(CallerIdTest, TheFirstWithheldFlagWinsForBothTexts) {
    Interpreted both = Interpret({LINECALLPARTYID_BLOCKED | LINECALLPARTYID_UNAVAIL, std::string("5550100"),
                                  std::string("Someone")});
    EXPECT_EQ("Blocked", both.name);
    EXPECT_EQ("Blocked", both.number);
    EXPECT_EQ("Out of area", Interpret({LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_UNKNOWN, std::nullopt, std::nullopt}).number);
    EXPECT_EQ("Unknown", Interpret({LINECALLPARTYID_UNKNOWN | LINECALLPARTYID_UNAVAIL, std::nullopt, std::nullopt}).name);
    EXPECT_EQ("Unavailable", Interpret({LINECALLPARTYID_UNAVAIL | LINECALLPARTYID_NAME, std::nullopt, std::nullopt}).name);
}

TEST(CallerIdTest, PartsAreTrimmedAndOneLetterCodesTranslated) {
    Interpreted plain = Interpret({0, std::string(" 5550100 "), std::nullopt});
    EXPECT_EQ("5550100", plain.number);
    EXPECT_EQ("Unknown", plain.name);

    Interpreted codes = Interpret({0, std::string("P"), std::string(" o")});
    EXPECT_EQ("Private", codes.number);
    EXPECT_EQ("Out of area", codes.name);
    EXPECT_EQ("Unavailable", Interpret({0, std::string("u"), std::nullopt}).number);
    EXPECT_EQ("Blocked", Interpret({0, std::string("b\0", 2), std::nullopt}).number);

    EXPECT_EQ("PA", Interpret({0, std::string("PA"), std::nullopt}).number);
    EXPECT_EQ("", Interpret({0, std::string("   "), std::nullopt}).number);
    // Tabs are not blanks.
    EXPECT_EQ("\t5550100", Interpret({0, std::string("\t5550100"), std::nullopt}).number);

    Interpreted none = Interpret({0, std::nullopt, std::nullopt});
    EXPECT_EQ("Unknown", none.name);
    EXPECT_EQ("Unknown", none.number);
}

TEST(CallerIdTest, PartsAreReadOnlyAsFarAsTheirSize) {
    // The number is three characters followed, without a NUL, by the name.
    Interpreted joined = Interpret({0, std::string("555"), std::string("Ann")});
    EXPECT_EQ("555", joined.number);
    EXPECT_EQ("Ann", joined.name);

    // A NUL inside the part ends it.
    EXPECT_EQ("12", Interpret({0, std::string("12\0" "34", 5), std::nullopt}).number);

    // A part that claims to reach past the filled-in structure is not used.
    std::vector<BYTE> bytes = CallInfoBytes{0, std::string("5550100"), std::nullopt}.Build();
    LINECALLINFO info;
    std::memcpy(&info, bytes.data(), sizeof info);
    info.dwCallerIDSize += 100;
    std::memcpy(bytes.data(), &info, sizeof info);
    EXPECT_EQ("Unknown", InterpretBytes(bytes).number);
    info.dwCallerIDSize = 4;
    info.dwCallerIDOffset = 0xFFFFFFFEu;  // offset + size wraps around
    std::memcpy(bytes.data(), &info, sizeof info);
    EXPECT_EQ("Unknown", InterpretBytes(bytes).number);
}

TEST(CallerIdTest, LongResultsAreCutTo999CharactersAndEitherBufferMayBeMissing) {
    std::string longName(1500, 'n');
    HandBuiltCallInfor info(CallInfoBytes{0, std::string("5550100"), longName}.Build());
    ASSERT_EQ(0, info.VM_Query());
    std::vector<char> name(1000, 'x');
    EXPECT_TRUE(info.VM_GetInterpretedCallerID(name.data(), nullptr));
    EXPECT_EQ(std::string(999, 'n'), std::string(name.data()));
    std::vector<char> number(1000, 'x');
    EXPECT_TRUE(info.VM_GetInterpretedCallerID(nullptr, number.data()));
    EXPECT_STREQ("5550100", number.data());
}

TEST(CallerIdTest, InterpretationIsTracedWithTheRawNumber) {
    TempDir dir(true);
    int saved = g_bTraceTapi;
    g_bTraceTapi = 1;
    Interpret({0x4, std::string("5550100%n%s"), std::nullopt});
    g_bTraceTapi = saved;
    std::string trace = ReadFileBytes(dir.file("dbg_err.txt"));
    EXPECT_NE(std::string::npos,
              trace.find("VM_CCallInfor::VM_GetInterpretedCallerID: pPhoneNo=, GetCallerID=5550100%n%s, Flags=0x4"))
        << trace;
}

TEST(CallerIdTest, ClassesOfTheSpecialWords) {
    EXPECT_EQ(5, VM_GetCallerIDClass(" private "));
    EXPECT_EQ(1, VM_GetCallerIDClass("BLOCKED"));
    EXPECT_EQ(4, VM_GetCallerIDClass("out of area"));
    EXPECT_EQ(0, VM_GetCallerIDClass("5550100"));
    EXPECT_EQ(0, VM_GetCallerIDClass(""));
    EXPECT_EQ(0, VM_GetCallerIDClass(nullptr));
    EXPECT_EQ(0, VM_GetCallerIDClass("Privates"));
    for (int c = 1; c <= kCallerIDClassCount; ++c) EXPECT_EQ(c, VM_GetCallerIDClass(VM_GetCallerIDText(c)));
    EXPECT_EQ(nullptr, VM_GetCallerIDText(0));
    EXPECT_EQ(nullptr, VM_GetCallerIDText(6));
}

TEST(CallerIdTest, TrimSpacesRemovesOnlyOuterBlanks) {
    char text[] = "  a b\t ";
    EXPECT_TRUE(VM_TrimSpaces(text));
    EXPECT_STREQ("a b\t", text);
    char blanks[] = "   ";
    EXPECT_TRUE(VM_TrimSpaces(blanks));
    EXPECT_STREQ("", blanks);
    char empty[] = "";
    EXPECT_FALSE(VM_TrimSpaces(empty));
    EXPECT_FALSE(VM_TrimSpaces(nullptr));
}

}  // namespace

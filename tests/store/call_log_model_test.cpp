#include "store/call_log_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/app_config.h"
#include "support/temp_dir.h"

using testsupport::TempDir;

namespace {

void FillInbox(VM_CAppCfg& cfg) {
    std::unique_ptr<char[]> path(cfg.VM_GetMessageListFileName(1));
    VM_CCallInfo prototype;
    VM_CList list(&prototype, path.get(), VM_CList::kFileBacked);
    list.m_id = 1;
    const char* names[] = {"bob", nullptr, "Ann"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new VM_CCallInfo;
        r->VM_SetAttr(VM_CCallInfo::kAttrName, names[i]);
        r->VM_SetTime(2024, 1, 3 - i, 9, 0, 0);
        if (i == 0) r->VM_AddFlags(VM_CCallInfo::kFlagRead);
        list.VM_Append(r);
    }
}

std::string Column(const VM_CCallLogModel& model, int column) {
    std::string s;
    for (int row = 0; row < model.VM_GetRowCount(); ++row) s += model.VM_GetCellText(row, column) + ";";
    return s;
}

}  // namespace

TEST(CallLogModel, ShowsAFolderWithTheStoredSortAndSortsByHeaderClicks) {
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    cfg.m_dwFlags |= VM_FLAG_CALLER_COLUMNS | VM_FLAG_SINGLE_MAILBOX;
    cfg.m_nCallSortColumn = 2;  // "Time" among the four columns present
    cfg.m_nCallSortOrder = kSortAscending;
    FillInbox(cfg);
    VM_CCallLogModel model(cfg);
    ASSERT_TRUE(model.VM_OpenFolder(1));
    EXPECT_EQ(model.VM_GetColumns().size(), 4u);
    EXPECT_EQ(Column(model, 0), "Ann;;bob;");
    EXPECT_EQ(Column(model, 2), "2024/01/01  9:00 AM;2024/01/02  9:00 AM;2024/01/03  9:00 AM;");
    EXPECT_TRUE(model.VM_IsRowBold(0));
    EXPECT_FALSE(model.VM_IsRowBold(2));

    model.VM_OnHeaderClick(0);  // a new column keeps the order
    EXPECT_EQ(Column(model, 0), ";Ann;bob;");
    model.VM_OnHeaderClick(0);  // the same column reverses it
    EXPECT_EQ(Column(model, 0), "bob;Ann;;");

    VM_CList* shown = model.VM_GetList();
    EXPECT_TRUE(model.VM_OpenFolder(1));
    EXPECT_EQ(model.VM_GetList(), shown);  // already shown: nothing happens
    EXPECT_EQ(model.VM_GetCellText(7, 0), "");
}

TEST(CallLogModel, SortCommandsAreRememberedByColumnPosition) {
    TempDir home;
    VM_CAppCfg cfg(home.path().c_str());
    cfg.m_dwFlags = (cfg.m_dwFlags | VM_FLAG_CALLER_COLUMNS) & ~VM_FLAG_SINGLE_MAILBOX;
    FillInbox(cfg);
    VM_CCallLogModel model(cfg);
    ASSERT_TRUE(model.VM_OpenFolder(1));
    model.VM_SortCommand(VM_ECallColumn::kTime);
    EXPECT_EQ(cfg.m_nCallSortColumn, 3);  // after the name, number and mailbox columns
    model.VM_SortCommand(VM_ECallColumn::kTime);
    EXPECT_EQ(cfg.m_nCallSortOrder, kSortDescending);
    EXPECT_EQ(Column(model, 0), "bob;;Ann;");
    VM_CAppCfg reread(home.path().c_str());
    EXPECT_EQ(reread.m_nCallSortColumn, 3);
    EXPECT_EQ(reread.m_nCallSortOrder, kSortDescending);
}

// A program folder with an address tree and address lists written through
// the real tree and list files, for the address-book tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/addr_entry.h"
#include "store/app_config.h"
#include "store/list.h"
#include "store/tree.h"
#include "support/temp_dir.h"

namespace storetest {

struct EntryTexts {
    const char* name = nullptr;
    const char* office = nullptr;
    const char* home = nullptr;
    const char* cellular = nullptr;
    DWORD flags = VM_CAddrEntry::kFlagNotify;
    const char* greeting = nullptr;
};

class AddressBookFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_cfg = std::make_unique<VM_CAppCfg>(m_dir.path().c_str());
        std::unique_ptr<char[]> file(m_cfg->VM_GetTreeFileName(2));
        m_treeFile = file.get();
        m_tree = std::make_unique<VM_CTree>(new VM_CTreeItem(), m_treeFile.c_str());
        ASSERT_TRUE(m_tree->VM_Insert(nullptr, new VM_CTreeItem("Address Book", 0, 0)));
        m_tree->VM_Save();
    }

    // Answering on line 0 after the rings, one mailbox, no time limit, no
    // silence detection, no toll saver, pre-screening or modem fix.
    void AnswerPlainly(int rings) {
        m_cfg->m_idLine = 0;
        m_cfg->m_nRings = rings;
        m_cfg->m_nMaxCallMinutes = 0;
        m_cfg->m_nSilenceSeconds = 0;
        m_cfg->m_nSilenceLevel = 0;
        m_cfg->VM_SetFlag(false, VM_FLAG_TOLL_SAVER | VM_FLAG_PRESCREEN | VM_FLAG_MODEM_FIX);
        m_cfg->VM_SetFlag(true, VM_FLAG_SINGLE_MAILBOX | VM_FLAG_ANSWERING);
    }

    // A new folder under the parent; returns its identifier.
    int32_t AddFolder(int32_t parent, const char* name) {
        auto* node = new VM_CTreeItem(name, 3, 4);
        EXPECT_TRUE(m_tree->VM_Insert(m_tree->VM_Find(parent), node));
        m_tree->VM_Save();
        return node->m_id;
    }

    // Appends an entry to the folder's list file; returns its identifier.
    int32_t AddEntry(int32_t folder, const EntryTexts& texts) {
        VM_CAddrEntry prototype;
        std::unique_ptr<char[]> file(m_cfg->VM_GetAddressListFileName(folder));
        VM_CList list(&prototype, file.get(), VM_CList::kFileBacked);
        list.m_id = folder;
        auto* entry = new VM_CAddrEntry();
        entry->VM_SetAttr(VM_CAddrEntry::kAttrFlags, std::to_string(texts.flags).c_str());
        entry->VM_SetAttr(VM_CAddrEntry::kAttrName, texts.name);
        entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, texts.office);
        entry->VM_SetAttr(VM_CAddrEntry::kAttrHome, texts.home);
        entry->VM_SetAttr(VM_CAddrEntry::kAttrCellular, texts.cellular);
        entry->VM_SetAttr(VM_CAddrEntry::kAttrGreeting, texts.greeting);
        EXPECT_TRUE(list.VM_Append(entry));
        EXPECT_TRUE(list.VM_Save());
        return entry->m_id;
    }

    testsupport::TempDir m_dir;
    std::unique_ptr<VM_CAppCfg> m_cfg;
    std::string m_treeFile;
    std::unique_ptr<VM_CTree> m_tree;
};

}  // namespace storetest

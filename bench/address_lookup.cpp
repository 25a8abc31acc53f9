// address-lookup: full searches per second of the address book for a number
// held by the last entry of the last folder (every list file read and every
// entry tested), against the floor of that work: reading the same list files
// with no matching at all. A second line shows what the cache saves during
// one call. registry-set: registry values set per second (each a whole-file
// rewrite through a flushed temporary file) against the same rewrite done
// with no registry around it.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/win32/registry.h"
#include "platform/win32/registry_text.h"
#include "store/addr_entry.h"
#include "store/address_book.h"
#include "store/app_config.h"
#include "store/list.h"
#include "store/tree.h"

namespace {

constexpr int kFolders = 4;
constexpr int kEntriesPerFolder = 250;
constexpr int kRounds = 3;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <typename F>
double PerSecond(int count, F work) {
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) work();
        best = std::max(best, count / Seconds(std::chrono::steady_clock::now() - start));
    }
    return best;
}

std::string Number(int folder, int entry) {
    char text[32];
    std::snprintf(text, sizeof text, "(555) %d%03d-%02d", folder, entry, entry % 100);
    return text;
}

void WriteBook(const VM_CAppCfg& cfg) {
    std::unique_ptr<char[]> treeFile(cfg.VM_GetTreeFileName(2));
    VM_CTree tree(new VM_CTreeItem(), treeFile.get());
    tree.VM_Insert(nullptr, new VM_CTreeItem("Address Book", 0, 0));
    VM_CAddrEntry prototype;
    for (int f = 1; f <= kFolders; ++f) {
        tree.VM_Insert(tree.VM_Find(0), new VM_CTreeItem("Folder", 3, 4));
        std::unique_ptr<char[]> listFile(cfg.VM_GetAddressListFileName(f));
        VM_CList list(&prototype, listFile.get(), VM_CList::kFileBacked);
        for (int e = 0; e < kEntriesPerFolder; ++e) {
            auto* entry = new VM_CAddrEntry();
            entry->VM_SetAttr(VM_CAddrEntry::kAttrName, "Some Caller");
            entry->VM_SetAttr(VM_CAddrEntry::kAttrOffice, Number(f, e).c_str());
            entry->VM_SetAttr(VM_CAddrEntry::kAttrHome, "n/a");
            list.VM_Append(entry);
        }
    }
    tree.VM_Save();
}

void ReadListsOnly(const VM_CAppCfg& cfg) {
    VM_CAddrEntry prototype;
    for (int f = 1; f <= kFolders; ++f) {
        std::unique_ptr<char[]> listFile(cfg.VM_GetAddressListFileName(f));
        VM_CList list(&prototype, listFile.get(), 0);
    }
}

void AddressLookup(const std::string& folder) {
    VM_CAppCfg cfg(folder.c_str());
    WriteBook(cfg);
    VM_CAddressBook book(&cfg);
    std::string last = Number(kFolders, kEntriesPerFolder - 1);
    if (book.VM_LookupFolder(last.c_str(), 0) != kFolders) std::fprintf(stderr, "lookup failed\n");
    double ours = PerSecond(200, [&] { book.VM_LookupFolder(last.c_str(), 0); });
    double anchor = PerSecond(200, [&] { ReadListsOnly(cfg); });
    std::printf("address-lookup: %.0f searches/s vs %.0f list reads/s = %.2fx\n", ours, anchor, ours / anchor);
    double cached = PerSecond(200000, [&] { book.VM_LookupFlags(last.c_str(), nullptr); });
    std::printf("address-lookup-cached: %.0f lookups/s vs %.0f searches/s = %.0fx\n", cached, ours, cached / ours);
}

void RawRewrite(const std::string& path, const std::string& text) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
    close(fd);
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) unlink(temp.c_str());
}

void RegistrySet(const std::string& folder) {
    std::string path = folder + "/registry.reg";
    setenv("VOCERRA_REGISTRY", path.c_str(), 1);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Bench", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != 0) {
        std::fprintf(stderr, "no registry key\n");
        return;
    }
    int n = 0;
    double ours = PerSecond(100, [&] {
        std::string value = std::to_string(n++);
        RegSetValueExA(key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    });
    RegCloseKey(key);
    std::string text;
    {
        int fd = open(path.c_str(), O_RDONLY);
        char buffer[4096];
        ssize_t got = fd >= 0 ? read(fd, buffer, sizeof buffer) : -1;
        if (got > 0) text.assign(buffer, static_cast<size_t>(got));
        if (fd >= 0) close(fd);
    }
    double anchor = PerSecond(100, [&] { RawRewrite(folder + "/raw.reg", text); });
    std::printf("registry-set: %.0f sets/s vs %.0f raw rewrites/s = %.2fx\n", ours, anchor, ours / anchor);
}

}  // namespace

int main() {
    char pattern[] = "/tmp/vocerra-bench-address.XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (folder == nullptr) return 1;
    AddressLookup(folder);
    RegistrySet(folder);
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

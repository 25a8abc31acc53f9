// Feeds arbitrary bytes to the configuration loader as "Vocerra.Cfg", then
// checks that whatever was loaded writes and reads back to the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "diag/user_notice.h"
#include "store/app_config.h"
#include "store/config_file_format.h"

namespace {

struct FuzzHome {
    FuzzHome() {
        std::string templ =
            (std::filesystem::temp_directory_path() / "vocerra-fuzz-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) std::abort();
        path = templ;
        cfg = new VM_CAppCfg(path.c_str());
    }
    ~FuzzHome() {
        delete cfg;
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
    VM_CAppCfg* cfg;
};

void WriteFile(const char* path, const std::uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static FuzzHome home;
    static const std::string file = home.cfg->m_szFile;
    VM_SetUserNoticeHandler(&Quiet);
    VM_CAppCfg& cfg = *home.cfg;
    WriteFile(file.c_str(), data, size);
    cfg.VM_Load();
    // A damaged file was set aside; the next input must find the name free.
    std::remove((file + ".damaged").c_str());

    std::string saved = VM_EncodeConfig(cfg);
    VM_ConfigRead reread = VM_DecodeConfig(
        cfg, reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size());
    if (reread != VM_ConfigRead::kRead || VM_EncodeConfig(cfg) != saved) std::abort();
    return 0;
}

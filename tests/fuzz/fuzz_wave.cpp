// WAVE files: whatever the bytes, the two readers (the file devices' whole-
// file reader and the system's own WAVE file) neither crash, leak, hang nor
// allocate more than the file holds, and agree on what a file's data is.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "audio/wave_file.h"
#include "platform/winmm/wave_file_io.h"

namespace {

struct FuzzFile {
    FuzzFile() {
        std::string templ = (std::filesystem::temp_directory_path() / "vocerra-fuzz-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) std::abort();
        folder = templ;
        path = folder + "/Msg0000.Wav";
    }
    ~FuzzFile() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string folder;
    std::string path;
};

void WriteFile(const std::string& path, const std::uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

// Reads the whole data chunk through the system's WAVE file; -1 when it
// does not open.
long long ReadAllData(const std::string& path, std::string* bytes) {
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    if (!file.VM_IsOpen()) return -1;
    if (file.VM_GetFormat() == nullptr) std::abort();
    BYTE buffer[VM_WAVE_READ_SIZE];
    for (LONG n; (n = file.VM_ReadData(buffer)) > 0;) {
        if (n > VM_WAVE_READ_SIZE) std::abort();
        bytes->append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    if (bytes->size() != file.VM_GetDataSize()) std::abort();
    return static_cast<long long>(bytes->size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static FuzzFile home;
    WriteFile(home.path, data, size);

    WAVEFORMATEX format{};
    std::string whole;
    const bool read = winmm::ReadWaveFile(home.path, &format, &whole);
    if (read && whole.size() > size) std::abort();

    std::string streamed;
    const long long opened = ReadAllData(home.path, &streamed);
    if (opened > static_cast<long long>(size)) std::abort();
    return 0;
}

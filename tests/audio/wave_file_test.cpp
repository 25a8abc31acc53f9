#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/win32/files.h"
#include "platform/winmm/g711.h"
#include "audio/wave_file.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "wave_test_files.h"

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using namespace wavetest;

namespace {

std::string Bytes(size_t n, int seed = 1) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>((i * 7 + static_cast<size_t>(seed)) & 0xFF));
    return out;
}

}  // namespace

TEST(WaveFile, NewFileHasTheExactLayoutWithPadByte) {
    TempDir dir;
    const std::string path = dir.file("odd.wav");
    const WAVEFORMATEX ulaw = Format(WAVE_FORMAT_MULAW, 8);
    const std::string data = Bytes(101);
    WriteWave(path, ulaw, data);
    // RIFF length = everything after its own field, pad byte included.
    std::string expected = "RIFF";
    PutLe32(expected, 4 + 8 + 18 + 8 + 101 + 1);
    expected += "WAVEfmt ";
    PutLe32(expected, 18);
    expected += FormatBody(ulaw);
    expected += "data";
    PutLe32(expected, 101);
    expected += data;
    expected.push_back('\0');
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(WaveFile, EvenLengthHasNoPadAndWritesAppendInPieces) {
    TempDir dir;
    const std::string path = dir.file("even.wav");
    const WAVEFORMATEX pcm16 = Format(WAVE_FORMAT_PCM, 16);
    const std::string data = Bytes(3000);
    {
        VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
        ASSERT_TRUE(file.VM_IsOpen());
        ASSERT_TRUE(file.VM_SetFormat(&pcm16));
        const auto* p = reinterpret_cast<const BYTE*>(data.data());
        EXPECT_EQ(file.VM_WriteData(p, 1600, TRUE), 1600);
        EXPECT_EQ(file.VM_WriteData(p + 1600, 1400, TRUE), 1400);
        EXPECT_TRUE(file.VM_Close());
        EXPECT_FALSE(file.VM_Close());
    }
    EXPECT_EQ(ReadFileBytes(path), RiffWave(Chunk("fmt ", FormatBody(pcm16)) + Chunk("data", data)));
}

TEST(WaveFile, ShortFilesAreDeletedOnClose) {
    TempDir dir;
    const WAVEFORMATEX pcm8 = Format(WAVE_FORMAT_PCM, 8);
    {
        VM_CWaveFile empty(dir.file("empty.wav").c_str(), VM_WAVE_MODE_NEW);
        ASSERT_TRUE(empty.VM_IsOpen());
    }
    WriteWave(dir.file("hundred.wav"), pcm8, Bytes(100));
    WriteWave(dir.file("kept.wav"), pcm8, Bytes(101));
    EXPECT_FALSE(FileExists(dir.file("empty.wav")));
    EXPECT_FALSE(FileExists(dir.file("hundred.wav")));
    EXPECT_TRUE(FileExists(dir.file("kept.wav")));
}

namespace {

// Every RIFF write fails while the object lives, as on a disk that filled up.
struct FullDisk {
    FullDisk() { winmm::SetRiffWritesFailing(true); }
    ~FullDisk() { winmm::SetRiffWritesFailing(false); }
};

}  // namespace

// The disk fills while the header of a finished recording is written: the
// message must be kept, and the writer told.
TEST(WaveFile, RecordingWhoseHeaderCannotBeWrittenIsKeptAndCloseFails) {
    TempDir dir;
    const std::string path = dir.file("Msg0000.Wav");
    const std::string data = Bytes(8000);
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
    const WAVEFORMATEX pcm16 = Format(WAVE_FORMAT_PCM, 16);
    ASSERT_TRUE(file.VM_SetFormat(&pcm16));
    ASSERT_EQ(file.VM_WriteData(reinterpret_cast<const BYTE*>(data.data()), 8000, TRUE), 8000);
    {
        FullDisk full;
        EXPECT_FALSE(file.VM_Close()) << "a failed write was reported as success";
    }
    ASSERT_TRUE(FileExists(path)) << "a recording of 8000 bytes was deleted";
    EXPECT_NE(ReadFileBytes(path).find(data), std::string::npos) << "the recorded bytes are gone";

    VM_CWaveFile tiny(dir.file("tiny.wav").c_str(), VM_WAVE_MODE_NEW);
    ASSERT_TRUE(tiny.VM_SetFormat(&pcm16));
    ASSERT_EQ(tiny.VM_WriteData(reinterpret_cast<const BYTE*>(data.data()), 50, TRUE), 50);
    {
        FullDisk full;
        EXPECT_FALSE(tiny.VM_Close());
    }
    EXPECT_FALSE(FileExists(dir.file("tiny.wav"))) << "50 bytes are too few to keep, full disk or not";
}

TEST(WaveFile, NewFilesAreTheOwnersAlone) {
    TempDir dir;
    const mode_t old = umask(0);
    WriteWave(dir.file("Msg0001.Wav"), Format(WAVE_FORMAT_PCM, 8), Bytes(400));
    umask(old);
    struct stat st;
    ASSERT_EQ(stat(dir.file("Msg0001.Wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(WaveFile, ExistingFilesAreReadLiberally) {
    TempDir dir;
    const WAVEFORMATEX pcm16 = Format(WAVE_FORMAT_PCM, 16);
    const std::string data = Bytes(501);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"fmt16.wav", RiffWave(Chunk("fmt ", FormatBody(pcm16, 16)) + Chunk("data", data))},
        {"list.wav", RiffWave(Chunk("fmt ", FormatBody(pcm16)) + Chunk("LIST", "INFOISFT\3\0\0\0ab\0") +
                              Chunk("data", data))},
        {"datafirst.wav", RiffWave(Chunk("data", data) + Chunk("fmt ", FormatBody(pcm16)))},
        {"bigfmt.wav", RiffWave(Chunk("fmt ", FormatBody(pcm16) + std::string(22, 'x')) + Chunk("data", data))},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.file(c.name), c.bytes);
        VM_CWaveFile file(dir.file(c.name).c_str(), VM_WAVE_MODE_READ);
        ASSERT_TRUE(file.VM_IsOpen()) << c.name;
        ASSERT_NE(file.VM_GetFormat(), nullptr);
        EXPECT_EQ(file.VM_GetFormat()->wBitsPerSample, 16) << c.name;
        EXPECT_EQ(file.VM_GetFormat()->cbSize, 0) << c.name;
        EXPECT_EQ(ReadAllData(file), data) << c.name;
    }
}

TEST(WaveFile, DamagedOrForeignFilesDoNotOpen) {
    TempDir dir;
    const WAVEFORMATEX pcm16 = Format(WAVE_FORMAT_PCM, 16);
    std::string hugeFmt = "fmt ";
    PutLe32(hugeFmt, 0x7FFFFFF0);
    hugeFmt += FormatBody(pcm16);
    const std::string cases[] = {
        "",
        "RIFF\4\0\0\0AVI ",
        RiffWave(Chunk("data", Bytes(200))),
        RiffWave(Chunk("fmt ", FormatBody(pcm16))),
        RiffWave(hugeFmt),
    };
    int i = 0;
    for (const std::string& bytes : cases) {
        const std::string path = dir.file("bad" + std::to_string(i++) + ".wav");
        WriteFileBytes(path, bytes);
        VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
        EXPECT_FALSE(file.VM_IsOpen()) << i;
        EXPECT_EQ(file.VM_GetFormat(), nullptr) << i;
        EXPECT_TRUE(FileExists(path));
    }
    VM_CWaveFile missing(dir.file("missing.wav").c_str(), VM_WAVE_MODE_READ);
    EXPECT_FALSE(missing.VM_IsOpen());
    VM_CWaveFile unnamed(nullptr, VM_WAVE_MODE_READ);
    EXPECT_FALSE(unnamed.VM_IsOpen());
    EXPECT_FALSE(unnamed.VM_Close());
}

TEST(WaveFile, DataLengthBeyondTheFileIsCutToWhatIsThere) {
    TempDir dir;
    const WAVEFORMATEX pcm8 = Format(WAVE_FORMAT_PCM, 8);
    // A recording cut short: both lengths claim more than the file holds.
    std::string chunks = Chunk("fmt ", FormatBody(pcm8)) + "data";
    PutLe32(chunks, 100000);
    std::string bytes = "RIFF";
    PutLe32(bytes, 100000 + 4 + 26 + 8);
    bytes += "WAVE" + chunks + Bytes(300);
    WriteFileBytes(dir.file("cut.wav"), bytes);
    VM_CWaveFile file(dir.file("cut.wav").c_str(), VM_WAVE_MODE_READ);
    ASSERT_TRUE(file.VM_IsOpen());
    EXPECT_EQ(file.VM_GetDataSize(), 300u);
    EXPECT_EQ(ReadAllData(file), Bytes(300));
}

TEST(WaveFile, ReadsComeInBufferSizedPiecesAndPositionsAreChecked) {
    TempDir dir;
    const std::string path = dir.file("4000.wav");
    WriteWave(path, Format(WAVE_FORMAT_PCM, 16), Bytes(4000));
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    BYTE buffer[VM_WAVE_READ_SIZE];
    EXPECT_EQ(file.VM_ReadData(buffer), 1600);
    EXPECT_EQ(file.VM_ReadData(buffer), 1600);
    EXPECT_EQ(file.VM_ReadData(buffer), 800);
    EXPECT_EQ(file.VM_ReadData(buffer), 0);
    EXPECT_EQ(file.VM_ReadData(nullptr), 0);
    file.VM_SetReadPos(4001);
    EXPECT_EQ(file.VM_GetReadPos(), 4000);
    file.VM_SetReadPos(-1);
    EXPECT_EQ(file.VM_GetReadPos(), 4000);
    file.VM_SetReadPos(3990);
    EXPECT_EQ(file.VM_ReadData(buffer), 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 10), Bytes(4000).substr(3990));
    // Read-only: nothing is written.
    EXPECT_EQ(file.VM_WriteData(buffer, 10, TRUE), 0);
}

TEST(WaveFile, InPlaceRewriteKeepsTheLengthAndReadsBack) {
    TempDir dir;
    const std::string path = dir.file("rewrite.wav");
    const WAVEFORMATEX pcm8 = Format(WAVE_FORMAT_PCM, 8);
    {
        VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_NEW);
        file.VM_SetFormat(&pcm8);
        const std::string data = Bytes(2000);
        file.VM_WriteData(reinterpret_cast<const BYTE*>(data.data()), 2000, TRUE);
        EXPECT_EQ(file.VM_GetDataSize(), 2000u);
        // The enhancement pass reads back and rewrites over the same bytes.
        file.VM_SetReadPos(0);
        BYTE buffer[VM_WAVE_READ_SIZE];
        ASSERT_EQ(file.VM_ReadData(buffer), 1600);
        file.VM_SetWritePos(0);
        const BYTE marks[3] = {1, 2, 3};
        EXPECT_EQ(file.VM_WriteData(marks, 3, FALSE), 3);
        EXPECT_EQ(file.VM_GetDataSize(), 2000u);
        EXPECT_EQ(file.VM_WriteData(marks, 0, TRUE), 0);
    }
    std::string data = Bytes(2000);
    data[0] = 1;
    data[1] = 2;
    data[2] = 3;
    EXPECT_EQ(ReadFileBytes(path), RiffWave(Chunk("fmt ", FormatBody(pcm8)) + Chunk("data", data)));
}

TEST(WaveFile, ConvertingPcm16ToULawReplacesTheFileWithTheEncodedSamples) {
    TempDir dir;
    const std::string path = dir.file("greeting.wav");
    std::vector<int16_t> samples;
    for (int i = 0; i < 5000; ++i) samples.push_back(static_cast<int16_t>((i * 977) % 65536 - 32768));
    WriteWave(path, Format(WAVE_FORMAT_PCM, 16), Pcm16Bytes(samples));
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    file.VM_SetReadPos(2000);
    const WAVEFORMATEX ulaw = Format(WAVE_FORMAT_MULAW, 8);
    ASSERT_TRUE(file.VM_ConvertFormat(&ulaw));
    EXPECT_TRUE(file.VM_IsOpen());
    EXPECT_EQ(file.VM_GetFormat()->wFormatTag, WAVE_FORMAT_MULAW);
    EXPECT_EQ(file.VM_GetDataSize(), 5000u);
    // The read position stays on the same sample.
    EXPECT_EQ(file.VM_GetReadPos(), 1000);
    std::string encoded;
    for (int16_t s : samples) encoded.push_back(static_cast<char>(g711::LinearToULaw(s)));
    EXPECT_EQ(ReadFileBytes(path), RiffWave(Chunk("fmt ", FormatBody(ulaw)) + Chunk("data", encoded)));
    // No temporary file is left beside it.
    EXPECT_EQ(ReadFileBytes(path).size(), 46u + 5000u);
}

TEST(WaveFile, FailedConversionsLeaveTheFileUntouched) {
    TempDir dir;
    const std::string stereoPath = dir.file("stereo.wav");
    WriteWave(stereoPath, Format(WAVE_FORMAT_PCM, 16, 2), Bytes(800));
    const std::string before = ReadFileBytes(stereoPath);
    const WAVEFORMATEX alaw = Format(WAVE_FORMAT_ALAW, 8);
    {
        VM_CWaveFile stereo(stereoPath.c_str(), VM_WAVE_MODE_READ);
        EXPECT_FALSE(stereo.VM_ConvertFormat(&alaw));
        EXPECT_TRUE(stereo.VM_IsOpen());
    }
    EXPECT_EQ(ReadFileBytes(stereoPath), before);

    const std::string samePath = dir.file("same.wav");
    WriteWave(samePath, alaw, Bytes(800));
    {
        VM_CWaveFile same(samePath.c_str(), VM_WAVE_MODE_READ);
        EXPECT_FALSE(same.VM_ConvertFormat(&alaw));
    }
    // A file still being written is never replaced under its writer.
    {
        VM_CWaveFile writing(dir.file("writing.wav").c_str(), VM_WAVE_MODE_NEW);
        const WAVEFORMATEX pcm16 = Format(WAVE_FORMAT_PCM, 16);
        writing.VM_SetFormat(&pcm16);
        const std::string data = Bytes(800);
        writing.VM_WriteData(reinterpret_cast<const BYTE*>(data.data()), 800, TRUE);
        EXPECT_FALSE(writing.VM_ConvertFormat(&alaw));
        EXPECT_EQ(writing.VM_GetDataSize(), 800u);
    }
    // Converted to almost nothing: the original stays rather than a file
    // that the close would delete.
    const std::string tinyPath = dir.file("tiny.wav");
    WriteWave(tinyPath, Format(WAVE_FORMAT_PCM, 16), Bytes(150));
    const std::string tinyBefore = ReadFileBytes(tinyPath);
    {
        VM_CWaveFile tiny(tinyPath.c_str(), VM_WAVE_MODE_READ);
        EXPECT_FALSE(tiny.VM_ConvertFormat(&alaw));
    }
    EXPECT_EQ(ReadFileBytes(tinyPath), tinyBefore);
}

TEST(WaveFile, ConversionOnAFullDiskKeepsTheOriginalAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("long.wav");
    WriteWave(path, Format(WAVE_FORMAT_PCM, 16), Bytes(200000));
    const std::string before = ReadFileBytes(path);
    const WAVEFORMATEX ulaw = Format(WAVE_FORMAT_MULAW, 8);
    VM_CWaveFile file(path.c_str(), VM_WAVE_MODE_READ);
    {
        storetest::FileSizeLimit full(30000);
        EXPECT_FALSE(file.VM_ConvertFormat(&ulaw));
    }
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_TRUE(file.VM_IsOpen());
    EXPECT_EQ(file.VM_GetFormat()->wFormatTag, WAVE_FORMAT_PCM);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir.path() + "/*.TMP").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    // With room again the same file converts.
    EXPECT_TRUE(file.VM_ConvertFormat(&ulaw));
    EXPECT_EQ(file.VM_GetDataSize(), 100000u);
}

#include "audio/wave_enhance.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "audio/wave_file.h"
#include "audio/wave_processor.h"

namespace enhance {

namespace {
constexpr double kEpsilon = 2.220446049250313e-16;
}

void LevelMeter::Add(const int16_t* samples, int n) {
    int32_t p = peak;
    double s = sum;
    for (int i = 0; i < n; ++i) {
        int32_t m = std::abs(static_cast<int32_t>(samples[i]));
        p = m > p ? m : p;
        double x = m / 32768.0;
        s += x * x;
    }
    peak = p;
    sum = s;
    count += n;
}

double LevelMeter::Rms() const {
    return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

double LevelMeter::LevelDb() const { return std::log(Rms()) * qvdsp::Compressor::kDbPerNeper; }

Plan Choose(const LevelMeter& level, DWORD flags) {
    if (!(level.Rms() > kEpsilon)) return Plan::kLeave;
    double db = level.LevelDb();
    if ((flags & VM_ENHANCE_KEEP_QUIET) && db <= kVeryQuietDb && level.peak <= kVeryQuietPeak)
        return Plan::kLeave;
    if ((flags & VM_ENHANCE_COMPRESS) && db < kQuietDb) return Plan::kCompressAndNormalise;
    return Plan::kNormalise;
}

void CompressRun(qvdsp::Compressor& compressor, int16_t* samples, int n, int64_t& count,
                 int32_t& peak) {
    compressor.process(samples, n);
    for (int i = 0; i < n; ++i) {
        if (++count > kSkippedSamples) {
            int32_t m = std::abs(static_cast<int32_t>(samples[i]));
            peak = m > peak ? m : peak;
        }
    }
}

double NormaliseGain(int32_t peak) {
    double gain = kNormalPeak / peak;
    return std::isfinite(gain) && gain > 0.0 ? gain : 0.0;
}

void NormaliseRun(int16_t* samples, int n, double gain) {
    for (int i = 0; i < n; ++i) samples[i] = Scaled(samples[i], gain);
}

}  // namespace enhance

namespace {

// The file's 1600-byte steps decoded to 16-bit samples and encoded back.
class SampleBuffer {
public:
    explicit SampleBuffer(const VM_CWaveProcessor& processor) : m_processor(processor) {}

    BYTE* bytes() { return m_bytes; }
    int16_t* samples() { return m_samples; }

    int Decode(LONG byteCount) {
        int n = static_cast<int>(byteCount / m_processor.VM_GetBytesPerSample());
        if (m_processor.VM_GetBytesPerSample() == 2) {
            for (int i = 0; i < n; ++i)
                m_samples[i] = static_cast<int16_t>(static_cast<uint16_t>(m_bytes[2 * i] | m_bytes[2 * i + 1] << 8));
            return n;
        }
        for (int i = 0; i < n; ++i) m_samples[i] = m_processor.VM_GetSample(m_bytes, i);
        return n;
    }
    void Encode(int n) {
        if (m_processor.VM_GetBytesPerSample() == 2) {
            for (int i = 0; i < n; ++i) {
                m_bytes[2 * i] = static_cast<BYTE>(static_cast<uint16_t>(m_samples[i]) & 0xFF);
                m_bytes[2 * i + 1] = static_cast<BYTE>(static_cast<uint16_t>(m_samples[i]) >> 8);
            }
            return;
        }
        for (int i = 0; i < n; ++i) m_processor.VM_PutSample(m_bytes, i, m_samples[i]);
    }

private:
    const VM_CWaveProcessor& m_processor;
    BYTE m_bytes[VM_WAVE_READ_SIZE] = {};
    int16_t m_samples[VM_WAVE_READ_SIZE] = {};
};

}  // namespace

BOOL VM_CWaveFile::VM_Enhance(DWORD flags) {
    if (m_dwMode != VM_WAVE_MODE_NEW || m_pFormat == nullptr || m_hmmio == nullptr) return FALSE;
    std::unique_ptr<VM_CWaveProcessor> processor(new (std::nothrow) VM_CWaveProcessor(m_pFormat));
    std::unique_ptr<SampleBuffer> buffer;
    if (processor) buffer.reset(new (std::nothrow) SampleBuffer(*processor));
    // A format we cannot decode is left as it is rather than rewritten as
    // if it were 16-bit samples.
    if (!buffer || !processor->VM_IsCodecReady()) return FALSE;
    const LONG bytesPerSample = processor->VM_GetBytesPerSample();
    const LONG readPos = VM_GetReadPos();
    const LONG writePos = VM_GetWritePos();

    enhance::LevelMeter level;
    VM_SetReadPos(0);
    for (LONG got; (got = VM_ReadData(buffer->bytes())) > 0;)
        level.Add(buffer->samples(), buffer->Decode(got));

    enhance::Plan plan = enhance::Choose(level, flags);
    int32_t peak = level.peak;
    if (plan == enhance::Plan::kCompressAndNormalise) {
        qvdsp::Compressor compressor;
        peak = -32768;
        int64_t count = 0;
        VM_SetReadPos(0);
        VM_SetWritePos(0);
        for (LONG got; (got = VM_ReadData(buffer->bytes())) > 0;) {
            int n = buffer->Decode(got);
            enhance::CompressRun(compressor, buffer->samples(), n, count, peak);
            buffer->Encode(n);
            if (VM_WriteData(buffer->bytes(), got, FALSE) != got) break;
        }
    }
    if (plan != enhance::Plan::kLeave) {
        // Reading 30 samples ahead of writing drops the first 30 samples; the
        // last 30 keep their old values since the length stays.
        VM_SetReadPos(enhance::kSkippedSamples * bytesPerSample);
        VM_SetWritePos(0);
        double gain = enhance::NormaliseGain(peak);
        for (LONG got; gain > 0.0 && (got = VM_ReadData(buffer->bytes())) > 0;) {
            int n = buffer->Decode(got);
            enhance::NormaliseRun(buffer->samples(), n, gain);
            buffer->Encode(n);
            if (VM_WriteData(buffer->bytes(), got, FALSE) != got) break;
        }
    }
    VM_SetReadPos(readPos);
    VM_SetWritePos(writePos);
    return TRUE;
}

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "detect/busy_tone_detector.h"
#include "detect/dial_tone_detector.h"
#include "detect/silence_detector.h"
#include "diag/trace.h"
#include "support/signals.h"
#include "support/temp_dir.h"

namespace {

std::string Hex(const void* p) {
    char s[32];
    std::snprintf(s, sizeof s, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(p));
    return s;
}

// The detectors' trace lines under the detector switch, with objects printed
// as full pointers.
TEST(DetectorTrace, LinesOfTheDetectorsLifeAndDecisions) {
    testsupport::TempDir dir(true);
    g_bTraceDetector = 1;
    std::string dialAt, busyAt, silenceAt;
    {
        VM_CDialToneDetector dial(80000, 8, 8000);
        VM_CBusyToneDetector busy(20000, 5, 8000);
        VM_CSilenceDetector silence(1000, 786, 8000);
        dialAt = Hex(&dial);
        busyAt = Hex(&busy);
        silenceAt = Hex(&silence);
        for (double v : testsupport::Tone({{425, 1000}}, 3600)) dial.VM_Detect(v);
        EXPECT_TRUE(dial.VM_IsDetected());
        for (double v : testsupport::Cadence({{425, 1000}}, 500, 500, 2)) busy.VM_Detect(v);
        for (int i = 0; i < 9000; ++i) silence.VM_Detect(0);
        EXPECT_TRUE(silence.VM_IsDetected());
    }
    g_bTraceDetector = 0;
    const std::string log = testsupport::ReadFileBytes(dir.file("dbg_err.txt"));
    for (const std::string& line : std::vector<std::string>{
             "VM_CDialToneDetector::VM_CDialToneDetector: this=" + dialAt + "\r\n",
             "VM_CDialToneDetector::VM_DetectTone: bTone=TRUE, thr=0.00, m0(3)=",
             "this(" + dialAt + ")->VM_CDialToneDetector::VM_IsDetected()=TRUE, total=28800, nTimeout=28000\r\n",
             "VM_CBusyToneDetector::VM_CBusyToneDetector: this=" + busyAt + "\r\n",
             "VM_CBusyToneDetector::VM_DetectTone: state=1, off=0, on=3840, min=800, tor=704, total=0\r\n",
             "VM_CBusyToneDetector::VM_DetectTone: state=2, m_tone=3, tone=3, off=4160, on=3840, min=800, tor=704, total=0\r\n",
             "this(" + silenceAt + ")->VM_CSilenceDetector::VM_IsDetected()=TRUE, total=9000, nTimeout=8000\r\n",
             "VM_CSilenceDetector::~VM_CSilenceDetector: this=" + silenceAt + "\r\n",
             "VM_CDialToneDetector::~VM_CDialToneDetector: this=" + dialAt + "\r\n",
         }) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

}  // namespace

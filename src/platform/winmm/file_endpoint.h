// Wave devices backed by WAVE files, for headless use and tests.
#pragma once

#include <string>

#include "platform/win32/types.h"

namespace winmm {

// A wave-out device that plays into a new WAVE file at path, in the format it
// is opened with; each open starts the file again, closing finishes it.
// acceptedFormats: kFormat... bits.
UINT AddFileWaveOut(const std::string& path, DWORD acceptedFormats);
// A wave-in device that records the samples of the WAVE file at path, then
// silence. It accepts only the file's own format, if that is among
// acceptedFormats; the file is read at each open.
UINT AddFileWaveIn(const std::string& path, DWORD acceptedFormats);

}  // namespace winmm

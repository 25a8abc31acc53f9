// The sound cards as wave devices, through ALSA. A program that wants them
// installs them before its first wave call; tests and builds without ALSA
// leave this library out.
#pragma once

namespace alsa {

void InstallSoundCards();

}  // namespace alsa

#pragma once
// Which sound output players made from now on use (the program's
// --audio-out folder, a test's PulseAudio server); by default the sound
// server. Players already made keep theirs. With an output folder, a player
// writes into its "jukebox" subfolder (speaker-44100.wav), apart from the
// voice path's files.

#include "platform/wavedev/wavedev.h"

namespace jukebox {

void SetDevices(const wavedev::Options& devices);
wavedev::Options Devices();

}  // namespace jukebox

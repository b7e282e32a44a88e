#pragma once
// The music player library: a small player window whose songs play on this
// computer's speakers, with each line of a song's ".lrc" lyrics handed to the
// owner as it is sung. All three calls on the UI thread; the lyric callback
// also runs there.

// One lyric line (index in the song's time-sorted lyrics, its time, UTF-8
// text); an empty text (index -1) clears.
using JukeboxLyricCallback = void (*)(int index, int timeMs, const char* text, void* context);

struct jukebox_t;
using JUKEBOX_HANDLE = jukebox_t*;

// Creates the player and shows its window; null without a QApplication (or
// off its thread) or on failure.
JUKEBOX_HANDLE JUKEBOX_InitPlay(JukeboxLyricCallback callback, void* context);
// Shows (raises) its window again: 0 done, non-zero failure (null handle…).
int JUKEBOX_ShowPlayDlg(JUKEBOX_HANDLE player);
// Stops, closes the window, frees; null is harmless.
void JUKEBOX_Realse(JUKEBOX_HANDLE player);

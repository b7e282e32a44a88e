#pragma once
// The image library: a region of the screen, chosen by the user, saved as a
// picture file (the room's screen cut).

#include <string>

class QWidget;

enum {
    PICTOOL_CUT_REFUSED = -1,   // no picture of the screen, or the file could not be written
    PICTOOL_CUT_CANCELLED = 0,  // Escape, a right click, or an empty region
    PICTOOL_CUT_SAVED = 1,
};

// Empty when this platform gives pictures of the screen; otherwise why not,
// in words for the user.
std::string PICTOOL_CanCut();

// Takes a picture of the screen `owner` is on (the owner's window is hidden
// meanwhile), shows it full screen and lets the user drag a region; Enter,
// Ctrl+S or a double click keeps it, Escape or a right click cancels. The
// region goes to `file` (its suffix names the format; .jpg at quality 90).
// Runs until chosen; `why` says what refused a cut.
int PICTOOL_ScreenCut(QWidget* owner, const std::string& file, std::string* why = nullptr);

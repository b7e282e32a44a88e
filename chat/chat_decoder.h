#pragma once
// Chat code text into a chat view: plain runs in the given format, faces,
// pictures and voice clips as objects. Malformed codes show as the text
// they are.

#include <string>
#include <string_view>

#include "chat/chat_sink.h"

class CFaceTable;
class CChatPictures;
class CVoiceClipMap;

struct ChatDecodeContext {
    const CFaceTable* faces = nullptr;  // null: no faces
    CChatPictures* pictures = nullptr;  // null: stored pictures show as text
    CVoiceClipMap* voices = nullptr;    // null: voice clips show as text
    std::string programFolder;          // skin images are found below it
};

struct ChatDecodeOptions {
    // Local-picture codes name a file on this machine. Only the user's own
    // echo may open one; in a line from the network the code is shown as
    // text, so nobody can make this client show (or probe) its local files.
    bool ownLine = false;
    // A stored picture may name a URL instead of a file id only in lines the
    // server itself writes (pushed pictures); in users' lines a URL would
    // make every reader fetch from wherever the sender likes.
    bool pictureUrls = false;
};

void DecodeToView(IChatSink& view, std::string_view code, const ChatTextFormat& format,
                  const ChatDecodeContext& context, const ChatDecodeOptions& options = {});

// The images the decoder inserts, below the program folder.
std::string WaitingImagePath(const std::string& programFolder);
std::string VoiceClipIconPath(const std::string& programFolder);
// The icon of a clip while it plays (animated).
std::string VoiceClipPlayingIconPath(const std::string& programFolder);

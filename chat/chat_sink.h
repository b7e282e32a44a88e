#pragma once
// What a chat view must do to show decoded chat text. The Qt chat views and
// the headless output implement it; the decoder never knows which.

#include <cstdint>
#include <string>
#include <string_view>

struct FaceEntry;

// The format of plain runs, passed through untouched by the decoder.
struct ChatTextFormat {
    std::string face;          // font face name; empty = the view's default
    int size = 0;              // points; 0 = the view's default
    std::uint32_t colour = 0;  // 0xRRGGBB
    bool bold = false;
};

// Names an object inserted into a view so that it can be completed later
// (a stored picture once downloaded, a voice clip when clicked).
using ChatObjectKey = std::uint64_t;

class IChatSink {
public:
    virtual ~IChatSink() = default;
    virtual void AppendText(std::string_view run, const ChatTextFormat& format) = 0;
    // The room's chat views insert face.imagePath at natural size; other
    // views may show a small placeholder that loads it. Text-only views
    // write face.tag.
    virtual void AppendFace(const FaceEntry& face) = 0;
    // A picture from a local file.
    virtual void AppendImage(const std::string& path) = 0;
    // A small badge before a name (wealth medal, VIP): a picture where
    // pictures are drawn; text-only views leave it out.
    virtual void AppendBadge(const std::string& path) { AppendImage(path); }
    // A waiting image standing for a picture that is being downloaded.
    virtual void AppendPlaceholder(ChatObjectKey key, const std::string& waitingImage) = 0;
    // The download of a placeholder's picture finished: show the file.
    virtual void ReplacePlaceholder(ChatObjectKey key, const std::string& path) = 0;
    // The download failed: show that the picture is not available.
    virtual void FailPlaceholder(ChatObjectKey key) = 0;
    // A voice-clip icon; clicking it plays the clip registered under key.
    virtual void AppendVoiceClip(ChatObjectKey key, const std::string& icon) = 0;
};

#pragma once
// A chat view that is one line of text: faces as their tags, pictures and
// voice clips as short marks. Used for standard output and logs.

#include <string>

#include "chat/chat_sink.h"

class CPlainChatSink : public IChatSink {
public:
    void AppendText(std::string_view run, const ChatTextFormat& format) override;
    void AppendFace(const FaceEntry& face) override;
    void AppendImage(const std::string& path) override;
    void AppendBadge(const std::string&) override {}  // a badge is no content
    void AppendPlaceholder(ChatObjectKey key, const std::string& waitingImage) override;
    void ReplacePlaceholder(ChatObjectKey, const std::string&) override {}
    void FailPlaceholder(ChatObjectKey) override {}
    void AppendVoiceClip(ChatObjectKey key, const std::string& icon) override;

    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

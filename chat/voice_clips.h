#pragma once
// The voice clips shown in the chat views, by the key of their icon; the
// room plays the clip of a clicked icon.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "chat/chat_sink.h"

class CVoiceClipMap {
public:
    ChatObjectKey Register(std::string_view voiceId);
    std::optional<std::string> Find(ChatObjectKey key) const;
    std::size_t Size() const { return clips_.size(); }
    // The clip shown last; 0 when there is none.
    ChatObjectKey Newest() const { return clips_.empty() ? 0 : clips_.rbegin()->first; }
    // The views were emptied.
    void Clear() { clips_.clear(); }

private:
    std::map<ChatObjectKey, std::string> clips_;
    ChatObjectKey next_ = 1;
};

#include "chat/voice_clips.h"

ChatObjectKey CVoiceClipMap::Register(std::string_view voiceId) {
    const ChatObjectKey key = next_++;
    clips_.emplace(key, std::string(voiceId));
    return key;
}

std::optional<std::string> CVoiceClipMap::Find(ChatObjectKey key) const {
    const auto it = clips_.find(key);
    if (it == clips_.end()) return std::nullopt;
    return it->second;
}

#include "chat/plain_chat_sink.h"

#include "chat/face_table.h"

void CPlainChatSink::AppendText(std::string_view run, const ChatTextFormat&) { text_ += run; }

void CPlainChatSink::AppendFace(const FaceEntry& face) {
    text_ += face.tag.empty() ? face.text : face.tag;
}

void CPlainChatSink::AppendImage(const std::string&) { text_ += "[图片]"; }

void CPlainChatSink::AppendPlaceholder(ChatObjectKey, const std::string&) { text_ += "[图片]"; }

void CPlainChatSink::AppendVoiceClip(ChatObjectKey, const std::string&) { text_ += "[语音]"; }

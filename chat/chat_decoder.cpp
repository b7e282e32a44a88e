#include "chat/chat_decoder.h"

#include "chat/chat_code.h"
#include "chat/chat_pictures.h"
#include "chat/face_table.h"
#include "chat/voice_clips.h"
#include "core/paths.h"

std::string WaitingImagePath(const std::string& programFolder) {
    return paths::WithSlash(programFolder) + "skin/wait_image.gif";
}

std::string VoiceClipIconPath(const std::string& programFolder) {
    return paths::WithSlash(programFolder) + "skin/chat_sound_normal.png";
}

std::string VoiceClipPlayingIconPath(const std::string& programFolder) {
    return paths::WithSlash(programFolder) + "skin/chat_sound_push.gif";
}

void DecodeToView(IChatSink& view, std::string_view code, const ChatTextFormat& format,
                  const ChatDecodeContext& context, const ChatDecodeOptions& options) {
    std::string pending;
    const auto flush = [&] {
        if (pending.empty()) return;
        view.AppendText(pending, format);
        pending.clear();
    };

    const chatcode::LineRules rules{options.ownLine, options.pictureUrls};
    std::size_t i = 0;
    while (i < code.size()) {
        const chatcode::LineCode c = chatcode::ReadLineCode(code, i, rules);
        switch (c.kind) {
            case chatcode::CodeKind::slash:
                pending += '/';
                i += c.length;
                continue;
            case chatcode::CodeKind::face:
                if (const FaceEntry* face = context.faces ? context.faces->FindById(c.face) : nullptr) {
                    flush();
                    view.AppendFace(*face);
                    i += c.length;
                    continue;
                }
                break;
            case chatcode::CodeKind::local_picture:
                flush();
                view.AppendImage(std::string(c.value));
                i += c.length;
                continue;
            case chatcode::CodeKind::stored_picture:
                if (context.pictures) {
                    flush();
                    context.pictures->Show(view, c.value, WaitingImagePath(context.programFolder));
                    i += c.length;
                    continue;
                }
                break;
            case chatcode::CodeKind::voice_clip:
                if (context.voices) {
                    flush();
                    const ChatObjectKey key = context.voices->Register(c.value);
                    view.AppendVoiceClip(key, VoiceClipIconPath(context.programFolder));
                    i += c.length;
                    continue;
                }
                break;
            case chatcode::CodeKind::text:
                break;
        }
        // Not shown as a code here: its first character is text.
        pending += code[i];
        ++i;
    }
    flush();
}

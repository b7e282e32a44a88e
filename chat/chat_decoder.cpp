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

void DecodeToView(IChatSink& view, std::string_view code, const ChatTextFormat& format,
                  const ChatDecodeContext& context, const ChatDecodeOptions& options) {
    std::string pending;
    const auto flush = [&] {
        if (pending.empty()) return;
        view.AppendText(pending, format);
        pending.clear();
    };

    std::size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        if (c == '/') {
            if (i + 1 < code.size() && code[i + 1] == '/') {
                pending += '/';
                i += 2;
                continue;
            }
            if (const auto f = chatcode::ReadFace(code, i); f && context.faces) {
                if (const FaceEntry* face = context.faces->FindById(f->id)) {
                    flush();
                    view.AppendFace(*face);
                    i += f->length;
                    continue;
                }
            }
            if (options.ownLine) {
                if (const auto p = chatcode::ReadLocalPicture(code, i)) {
                    flush();
                    view.AppendImage(std::string(p->value));
                    i += p->length;
                    continue;
                }
            }
        } else if (c == '@') {
            if (context.pictures) {
                const auto p = chatcode::ReadStoredPicture(code, i);
                if (p && (options.pictureUrls || !IsPictureUrl(p->value))) {
                    flush();
                    context.pictures->Show(view, p->value, WaitingImagePath(context.programFolder));
                    i += p->length;
                    continue;
                }
            }
            if (context.voices) {
                if (const auto v = chatcode::ReadVoiceClip(code, i)) {
                    flush();
                    const ChatObjectKey key = context.voices->Register(v->value);
                    view.AppendVoiceClip(key, VoiceClipIconPath(context.programFolder));
                    i += v->length;
                    continue;
                }
            }
        }
        pending += c;
        ++i;
    }
    flush();
}

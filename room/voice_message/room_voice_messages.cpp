#include "room/voice_message/room_voice_messages.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "audio/voice_message/voice_recorder.h"
#include "audio/voice_message/voice_writer.h"
#include "audio/voice_message/wav_voice.h"
#include "chat/chat_code.h"
#include "chat/chat_decoder.h"
#include "chat/picture_send.h"
#include "core/log.h"
#include "core/paths.h"
#include "net/json.h"
#include "platform/kitlib/kitlib.h"
#include "room/chat_transfers.h"
#include "room/room_chat.h"
#include "room/typed_command.h"

namespace {

constexpr const char* kButton = "bnt_VoiceMsg";
constexpr unsigned kRecordTickMs = 250;
constexpr const char* kTooShort = "录音时间太短";
constexpr const char* kSendFailed = "语音发送失败";

void RemoveFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// The service's reason in a refusal ({"code", "error"}), if it gave one.
std::string RefusalText(const std::string& body) {
    const json::value v = json::value::parse(body);
    const json::value e = v.get("error");
    return e.is_string() ? e.as_string() : std::string();
}

}  // namespace

CRoomVoiceMessages::CRoomVoiceMessages(CRoomSession& session, CRoomChat& chat,
                                       IChatTransfers& transfers, RoomVoiceSetup setup)
    : session_(session), chat_(chat), transfers_(transfers), setup_(std::move(setup)) {
    session_.AddFeature(this);
}

CRoomVoiceMessages::~CRoomVoiceMessages() {
    session_.RemoveFeature(this);
    if (setup_.recorder) setup_.recorder->Discard();
}

// --- playing ---------------------------------------------------------------------------

std::string CRoomVoiceMessages::VoiceIdOf(ChatObjectKey key) const {
    const auto id = chat_.voices().Find(key);
    return id ? *id : std::string();
}

void CRoomVoiceMessages::ShowIcon(ChatObjectKey key, bool playing) {
    session_.view().SetVoiceClipIcon(key, playing ? VoiceClipPlayingIconPath(setup_.programFolder)
                                                  : VoiceClipIconPath(setup_.programFolder));
}

bool CRoomVoiceMessages::PlayClip(ChatObjectKey key) {
    const std::string id = VoiceIdOf(key);
    if (id.empty()) return false;
    if (!setup_.player) {
        log_msg("voice clip %s: no voice playback in this room\r\n", id.c_str());
        session_.view().ShowTip("语音无法播放");
        return false;
    }
    // Another user's line names the file: only an id that is a plain name
    // ever reaches a path or a URL.
    if (!chatcode::IsValidVoiceId(id) || !setup_.player->Add(key, id)) {
        log_msg("voice clip %s: not a usable id\r\n", id.c_str());
        return false;
    }
    const ChatObjectKey before = playing_;
    if (!setup_.player->Play(key)) return false;
    // The one that played before was stopped: its icon rests again.
    if (before != 0 && before != key) ShowIcon(before, false);
    playing_ = key;
    ShowIcon(key, true);
    return true;
}

void CRoomVoiceMessages::OnPlayDone(ChatObjectKey key, std::intptr_t end) {
    // Played again since this ended: the message is an old one.
    if (setup_.player && setup_.player->Busy(key)) return;
    ShowIcon(key, false);
    if (playing_ == key) playing_ = 0;
    const std::string id = VoiceIdOf(key);
    session_.view().Report("voice", (end == kVoiceFinished ? "done " : "failed ") + id);
}

// --- recording and sending ---------------------------------------------------------

bool CRoomVoiceMessages::recording() const {
    return setup_.recorder && setup_.recorder->recording();
}

void CRoomVoiceMessages::ToggleRecording() {
    if (recording()) {
        StopRecording(true);
        return;
    }
    if (chat_.CheckMaySend() != CRoomChat::SendResult::sent) return;
    if (!setup_.recorder) {
        session_.view().ShowTip("没有可用的麦克风");
        return;
    }
    std::string error;
    const int device = setup_.micDevice ? setup_.micDevice() : -1;
    if (!setup_.recorder->Start(device, error)) {
        log_msg("voice message: cannot record: %s\r\n", error.c_str());
        session_.view().ShowTip("无法录音：" + error);
        return;
    }
    shownSeconds_ = 0;
    session_.view().SetText(kButton, "0s");
    session_.timers().SetTimer(room_timer::kVoiceRecord, kRecordTickMs);
}

void CRoomVoiceMessages::OnTimer(unsigned id) {
    if (id != room_timer::kVoiceRecord) return;
    if (!recording()) {
        session_.timers().KillTimer(id);
        return;
    }
    const std::int64_t ms = setup_.recorder->DurationMs();
    if (setup_.recorder->full()) {
        StopRecording(true);
        return;
    }
    if (ms / 1000 != shownSeconds_) {
        shownSeconds_ = ms / 1000;
        char text[32];
        std::snprintf(text, sizeof text, "%llds", static_cast<long long>(shownSeconds_));
        session_.view().SetText(kButton, text);
    }
}

void CRoomVoiceMessages::StopRecording(bool send) {
    session_.timers().KillTimer(room_timer::kVoiceRecord);
    session_.view().SetText(kButton, "");
    shownSeconds_ = -1;
    if (!setup_.recorder) return;
    if (!send) {
        setup_.recorder->Discard();
        return;
    }
    if (setup_.recorder->DurationMs() < kMinVoiceMessageMs) {
        setup_.recorder->Discard();
        session_.view().ShowTip(kTooShort);
        return;
    }
    std::string error;
    const std::string file = setup_.recorder->Finish(setup_.audioFolder, error);
    if (file.empty()) {
        session_.view().ShowTip(std::string(kSendFailed) + "：" + error);
        return;
    }
    Upload(file);
}

bool CRoomVoiceMessages::SendWav(const std::string& path) {
    if (chat_.CheckMaySend() != CRoomChat::SendResult::sent) return false;
    std::vector<std::int16_t> samples;
    std::string error;
    if (!voice::ReadWavAsVoice(path, samples, error)) {
        session_.view().ShowTip(std::string(kSendFailed) + "：" + error);
        return false;
    }
    if (static_cast<std::int64_t>(samples.size()) * 1000 / voice::kMessageRate < kMinVoiceMessageMs) {
        session_.view().ShowTip(kTooShort);
        return false;
    }
    voice::CVoiceWriter writer;
    if (!writer.Start() || !writer.Push8k(samples.data(), samples.size())) {
        session_.view().ShowTip(std::string(kSendFailed) + "：语音编码失败");
        return false;
    }
    const std::string file = writer.FinishInto(setup_.audioFolder, error);
    if (file.empty()) {
        session_.view().ShowTip(std::string(kSendFailed) + "：" + error);
        return false;
    }
    return Upload(file);
}

bool CRoomVoiceMessages::Upload(const std::string& file) {
    const std::uint64_t ticket = nextTicket_++;
    const std::string url = UploadUrl(transfers_.PictureHost(), file, kUploadVoice);
    if (!transfers_.UploadVoice(url, file, ticket)) {
        RemoveFile(file);
        session_.view().ShowTip(kSendFailed);
        return false;
    }
    uploads_[ticket] = file;
    return true;
}

void CRoomVoiceMessages::OnUploadDone(const TransferDone& done) {
    auto it = uploads_.find(done.ticket);
    if (it == uploads_.end()) return;  // sent from a room since left
    const std::string file = it->second;
    uploads_.erase(it);
    const std::string id = UploadedFileId(done);
    const std::string code = chatcode::MakeVoiceClip(id);
    if (code.empty()) {
        RemoveFile(file);
        const std::string why = done.ok ? std::string() : RefusalText(done.body);
        log_msg("voice message upload failed (status %d)\r\n", done.status);
        session_.view().ShowTip(why.empty() ? std::string(kSendFailed)
                                            : std::string(kSendFailed) + "：" + why);
        return;
    }
    // Kept under its id: the sender's own click plays it without a download.
    std::error_code ec;
    std::filesystem::rename(file, setup_.audioFolder + id + ".amr", ec);
    if (ec) {
        log_msg("voice message %s not kept: %s\r\n", id.c_str(), ec.message().c_str());
        RemoveFile(file);
    }
    if (chat_.SendStored(code, 0, true) == CRoomChat::SendResult::sent)
        session_.view().Report("voice", "sent " + id);
}

// --- the room ----------------------------------------------------------------------------

bool CRoomVoiceMessages::OnWindowMessage(const WindowMessage& m) {
    switch (m.msg) {
        case UM_VOICE_PLAY_DONE:
            OnPlayDone(static_cast<ChatObjectKey>(m.wParam), m.lParam);
            return true;
        case UM_VOICE_UPLOAD_DONE:
            for (const TransferDone& done : transfers_.TakeAnswer(m.msg, m.As<KitlibAnswer>()))
                OnUploadDone(done);
            return true;
        default:
            return false;
    }
}

bool CRoomVoiceMessages::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    if (t.word == "/voice") {
        if (t.args.empty()) {
            session_.view().ShowTip("usage: /voice FILE.wav");
            return true;
        }
        SendWav(std::string(t.rests[0]));
        return true;
    }
    if (t.word == "/play") {
        const ChatObjectKey newest = chat_.voices().Newest();
        if (newest == 0)
            session_.view().ShowTip("没有语音消息");
        else
            PlayClip(newest);
        return true;
    }
    return false;
}

void CRoomVoiceMessages::OnRoomCleared() {
    if (recording()) StopRecording(false);
    if (setup_.player) setup_.player->Clear();
    playing_ = 0;
    // An upload still on its way finds no ticket and sends nothing.
    for (const auto& [ticket, file] : uploads_) RemoveFile(file);
    uploads_.clear();
}

void CRoomVoiceMessages::StopAll() {
    if (recording()) StopRecording(false);
    if (setup_.player) setup_.player->Stop();
}

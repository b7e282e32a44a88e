#pragma once
// Voice messages in the room: a clicked clip plays through the player (its
// icon animated until the player says it ended), the voice-message button
// records one from the microphone and sends it, and the headless input
// sends a WAV file ("/voice FILE.wav") or plays the newest clip ("/play").
// A message goes out as a chat line carrying its stored id once the voice
// file service has kept it; the sender's copy is renamed to that id, so
// playing one's own message fetches nothing.

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "audio/voice_message/voice_player.h"
#include "chat/chat_sink.h"
#include "room/room_session.h"

class CRoomChat;
class IChatTransfers;
struct TransferDone;
namespace voice {
class CVoiceRecorder;
}

namespace room_timer {
inline constexpr unsigned kVoiceRecord = 214;  // the recording's seconds and its 60 s end
}  // namespace room_timer

struct RoomVoiceSetup {
    std::string programFolder;  // the clip icons below "skin/"
    // Where messages are kept (the user's "audio/" folder).
    std::string audioFolder;
    IVoicePlayer* player = nullptr;             // null: clips do not play
    voice::CVoiceRecorder* recorder = nullptr;  // null: the button cannot record
    std::function<int()> micDevice;             // the chosen microphone; empty: the default
};

// The shortest message sent; shorter recordings are dropped.
inline constexpr std::int64_t kMinVoiceMessageMs = 1000;

class CRoomVoiceMessages : public IRoomFeature {
public:
    // Construct after the chat; adds itself to the session.
    CRoomVoiceMessages(CRoomSession& session, CRoomChat& chat, IChatTransfers& transfers,
                       RoomVoiceSetup setup);
    ~CRoomVoiceMessages() override;
    CRoomVoiceMessages(const CRoomVoiceMessages&) = delete;
    CRoomVoiceMessages& operator=(const CRoomVoiceMessages&) = delete;

    // A clip's icon was clicked. False when nothing plays.
    bool PlayClip(ChatObjectKey key);
    // The button: starts recording, or stops and sends.
    void ToggleRecording();
    bool recording() const;
    // A 16-bit PCM WAV file as a voice message; false (with a tip) when it
    // cannot be read or sent.
    bool SendWav(const std::string& path);
    // The room window closes: playback and downloads stop without waiting.
    void StopAll();

    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    void OnRoomCleared() override;
    void OnTimer(unsigned id) override;
    bool OnWindowMessage(const WindowMessage& m) override;
    bool OnTypedCommand(const std::string& line) override;

private:
    void StopRecording(bool send);
    bool Upload(const std::string& file);
    void OnUploadDone(const TransferDone& done);
    void OnPlayDone(ChatObjectKey key, std::intptr_t end);
    void ShowIcon(ChatObjectKey key, bool playing);
    std::string VoiceIdOf(ChatObjectKey key) const;

    CRoomSession& session_;
    CRoomChat& chat_;
    IChatTransfers& transfers_;
    RoomVoiceSetup setup_;
    ChatObjectKey playing_ = 0;  // the clip whose icon is animated
    std::int64_t shownSeconds_ = -1;
    std::map<std::uint64_t, std::string> uploads_;  // ticket -> the file being sent
    std::uint64_t nextTicket_ = 1;
};

// Voice messages in the room: recording from the button (checks, the
// seconds, the 60 s end, the 1 s minimum), the upload and the chat line it
// becomes, a refused upload, the headless "/voice" and "/play", and the
// clip icons following the player's answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/voice_message/voice_recorder.h"
#include "chat/chat_decoder.h"
#include "core/paths.h"
#include "formats/amr_file.h"
#include "net/catalogue_chat.h"
#include "net/catalogue_room.h"
#include "platform/kitlib/kitlib.h"
#include "platform/wavedev/wav_file.h"
#include "room/headless_view.h"
#include "room/room_chat.h"
#include "room/voice_message/room_voice_messages.h"
#include "tests/room/room_test_support.h"
#include "tests/voice/memory_backend.h"
#include "tests/voice/voice_signals.h"

namespace fs = std::filesystem;
using roomtest::FakeAccount;
using roomtest::RecordingLink;

namespace {

class FakeStarter : public IHttpStarter {
public:
    struct Call {
        unsigned message;
        std::string url;
        std::string body;
    };
    std::vector<Call> calls;
    bool Download(unsigned, const std::string&, const std::string&) override { return false; }
    bool Post(unsigned m, const std::string& url, const std::vector<std::uint8_t>& body) override {
        calls.push_back({m, url, std::string(body.begin(), body.end())});
        return true;
    }
    std::string Host() override { return "pics:8080"; }
};

// The player as the room sees it: what it was asked, and what it says.
class FakePlayer : public IVoicePlayer {
public:
    std::map<std::uint64_t, std::string> known;
    std::vector<std::uint64_t> played;
    std::uint64_t busy = 0;
    int clears = 0, stops = 0;
    bool Add(std::uint64_t id, const std::string& name) override {
        known[id] = name;
        return true;
    }
    bool Play(std::uint64_t id) override {
        if (!known.count(id)) return false;
        played.push_back(id);
        busy = id;
        return true;
    }
    bool Busy(std::uint64_t id) const override { return id == busy; }
    void Clear() override {
        ++clears;
        known.clear();
        busy = 0;
    }
    void Stop() override { ++stops; }
};

KitlibAnswer Answer(int status, const std::string& body) {
    KitlibAnswer a;
    a.status = status;
    a.bytes.assign(body.begin(), body.end());
    return a;
}

const std::string kId = "0123456789abcdef0123456789abcdef";

class RoomVoice : public ::testing::Test, public ITimerSink {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("zeri-rvoice-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        paths::SetDataFolderOverride((dir / "data").string());
        account.me.userId = 42;
        account.me.nickname = "ann";
        ASSERT_TRUE(session.Start());
        RoomChatSetup chatSetup;
        chatSetup.programFolder = Prog();
        chatSetup.dataFolder = (dir / "data").string() + "/";
        chat = std::make_unique<CRoomChat>(session, account, transfers, faces, chatSetup);
        RoomVoiceSetup setup;
        setup.programFolder = Prog();
        setup.audioFolder = Audio();
        setup.player = &player;
        setup.recorder = &recorder;
        voices = std::make_unique<CRoomVoiceMessages>(session, *chat, transfers, setup);
    }
    void TearDown() override {
        voices.reset();
        chat.reset();
        paths::SetDataFolderOverride("");
        fs::remove_all(dir);
    }
    void OnTimer(unsigned id) override { session.OnTimer(id); }
    std::string Prog() const { return (dir / "prog").string() + "/"; }
    std::string Audio() const { return (dir / "audio").string() + "/"; }

    template <class Msg>
    void Receive(const Msg& m) {
        roomtest::Deliver(session, m);
    }
    void Enter() {
        session.EnterRoom(1001);
        msg::Control_Login_Resp r;
        r.room_id = 1001;
        r.role = 20;
        r.chat_interval = 3;
        Receive(r);
        Receive(roomtest::MemberList({{7, "bob", 20}}));
        session.OnPowerList(roomtest::PowerListAnswer(roomtest::Powers({power_id::chat}, 20)));
    }
    // `seconds` of tone into the open recorder, as the device would hand it.
    void Speak(double seconds) {
        const auto s = voicetest::Tone(1000, -12, static_cast<std::size_t>(seconds * 22050), 22050);
        for (std::size_t at = 0; at < s.size(); at += 441)
            backend->Feed(s.data() + at, std::min<std::size_t>(441, s.size() - at));
    }
    bool Deliver(unsigned message, std::uintptr_t w, std::intptr_t l, const KitlibAnswer* a) {
        WindowMessage m;
        m.msg = message;
        m.wParam = w;
        m.lParam = l;
        std::unique_ptr<TMessageData<KitlibAnswer>> data;
        if (a) data = std::make_unique<TMessageData<KitlibAnswer>>(*a);
        m.data = data.get();
        return voices->OnWindowMessage(m);
    }
    bool Uploaded(int status, const std::string& body) {
        const KitlibAnswer a = Answer(status, body);
        return Deliver(UM_VOICE_UPLOAD_DONE, 0, 0, &a);
    }
    int ChatRequests() const { return link.Count(cmd::Control_Send_Chat_Req); }
    std::size_t AudioFiles() const {
        std::size_t n = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Audio(), ec)) n += e.is_regular_file();
        return n;
    }
    msg::Control_Chat_Notify Line(std::uint32_t from, const std::string& text) {
        return roomtest::ChatLine(texts, from, "bob", text);
    }

    fs::path dir;
    std::deque<std::string> texts;
    CHeadlessView view{nullptr};
    RecordingLink link;
    CManualClock clock;
    CManualTimerHost timers{clock, *this};
    FakeAccount account;
    CRoomSession session{view, link, timers, clock, account};
    CFaceTable faces;
    FakeStarter starter;
    CSerialTransfers transfers{starter};
    std::shared_ptr<voicetest::CMemoryBackend> backend = std::make_shared<voicetest::CMemoryBackend>();
    voice::CVoiceRecorder recorder{backend};
    FakePlayer player;
    std::unique_ptr<CRoomChat> chat;
    std::unique_ptr<CRoomVoiceMessages> voices;
};

}  // namespace

// --- recording ---------------------------------------------------------------------

TEST_F(RoomVoice, RecordingIsRefusedOutsideARoomWhileGaggedOrWithoutThePower) {
    voices->ToggleRecording();
    EXPECT_EQ(view.Text("text_tip"), "请先进入房间");
    EXPECT_FALSE(voices->recording());
    session.EnterRoom(1001);
    msg::Control_Login_Resp r;
    r.room_id = 1001;
    r.role = 20;
    Receive(r);
    voices->ToggleRecording();  // no chat power yet
    EXPECT_EQ(view.Text("text_tip"), "无权限!");
    EXPECT_FALSE(voices->recording());
    session.OnPowerList(roomtest::PowerListAnswer(roomtest::Powers({power_id::chat}, 20)));
    session.SetGagged(true);
    voices->ToggleRecording();
    EXPECT_EQ(view.Text("text_tip"), "你已被禁言！");
    EXPECT_FALSE(voices->recording());
    EXPECT_TRUE(starter.calls.empty());
}

TEST_F(RoomVoice, ARecordingShowsItsSecondsAndIsSentAsAVoiceLine) {
    Enter();
    voices->ToggleRecording();
    ASSERT_TRUE(voices->recording());
    EXPECT_EQ(view.Text("bnt_VoiceMsg"), "0s");
    Speak(2.3);
    timers.Advance(250);
    EXPECT_EQ(view.Text("bnt_VoiceMsg"), "2s");
    voices->ToggleRecording();
    EXPECT_FALSE(voices->recording());
    EXPECT_EQ(view.Text("bnt_VoiceMsg"), "");
    EXPECT_FALSE(timers.IsSet(room_timer::kVoiceRecord));

    // The upload: an AMR file of the recording, to the voice type.
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].message, unsigned(UM_VOICE_UPLOAD_DONE));
    EXPECT_EQ(starter.calls[0].url.rfind("http://pics:8080/up?f=", 0), 0u);
    EXPECT_NE(starter.calls[0].url.find("&t=9"), std::string::npos);
    EXPECT_EQ(amr::CheckAmrFile(starter.calls[0].body), amr::FileError::none);
    EXPECT_EQ(ChatRequests(), 0);

    ASSERT_TRUE(Uploaded(200, R"({"code":0,"file_id":")" + kId + "\"}"));
    ASSERT_EQ(ChatRequests(), 1);
    EXPECT_EQ(link.Last<msg::Control_Send_Chat_Req>().line, "@$#:" + kId + ":");
    // Kept under its id, so my own click fetches nothing; no temporary left.
    EXPECT_TRUE(fs::exists(Audio() + kId + ".amr"));
    EXPECT_EQ(AudioFiles(), 1u);
    EXPECT_EQ(view.Lines().back(), "voice: sent " + kId);
    // My echo carries the clip; clicking it plays that id.
    const ChatObjectKey mine = chat->voices().Newest();
    ASSERT_NE(mine, 0u);
    EXPECT_TRUE(voices->PlayClip(mine));
    EXPECT_EQ(player.known[mine], kId);
}

TEST_F(RoomVoice, UnderOneSecondIsDroppedAndSixtySecondsEndsByItself) {
    Enter();
    voices->ToggleRecording();
    Speak(0.5);
    voices->ToggleRecording();
    EXPECT_EQ(view.Text("text_tip"), "录音时间太短");
    EXPECT_TRUE(starter.calls.empty());
    EXPECT_EQ(AudioFiles(), 0u);

    voices->ToggleRecording();
    ASSERT_TRUE(voices->recording());
    Speak(61);
    timers.Advance(250);
    EXPECT_FALSE(voices->recording());
    ASSERT_EQ(starter.calls.size(), 1u);
    ASSERT_EQ(amr::CheckAmrFile(starter.calls[0].body), amr::FileError::none);
    // 60 s of 12.2 kbit/s frames, not a frame more.
    EXPECT_EQ(starter.calls[0].body.size(), 6u + 3000u * 32u);
}

TEST_F(RoomVoice, ARefusedUploadSaysWhySendsNoLineAndLeavesNoFile) {
    Enter();
    voices->ToggleRecording();
    Speak(1.5);
    voices->ToggleRecording();
    ASSERT_EQ(starter.calls.size(), 1u);
    ASSERT_EQ(AudioFiles(), 1u);  // the temporary file, while it is sent
    ASSERT_TRUE(Uploaded(415, R"({"code":1035,"error":"不是语音文件"})"));
    EXPECT_EQ(view.Text("text_tip"), "语音发送失败：不是语音文件");
    EXPECT_EQ(ChatRequests(), 0);
    EXPECT_EQ(AudioFiles(), 0u);

    // No answer at all, and an answer without a usable id, fail the same way.
    clock.AdvanceMs(3000);
    voices->ToggleRecording();
    Speak(1.5);
    voices->ToggleRecording();
    ASSERT_TRUE(Deliver(UM_VOICE_UPLOAD_DONE, 0, 0, nullptr));
    EXPECT_EQ(view.Text("text_tip"), "语音发送失败");
    voices->ToggleRecording();
    Speak(1.5);
    voices->ToggleRecording();
    ASSERT_TRUE(Uploaded(200, R"({"code":0,"file_id":"../x"})"));
    EXPECT_EQ(ChatRequests(), 0);
    EXPECT_EQ(AudioFiles(), 0u);
}

TEST_F(RoomVoice, AGagDuringTheUploadStopsTheLine) {
    Enter();
    voices->ToggleRecording();
    Speak(1.5);
    voices->ToggleRecording();
    session.SetGagged(true);
    ASSERT_TRUE(Uploaded(200, R"({"code":0,"file_id":")" + kId + "\"}"));
    EXPECT_EQ(ChatRequests(), 0);
    EXPECT_EQ(view.Text("text_tip"), "你已被禁言！");
}

// --- headless --------------------------------------------------------------------

TEST_F(RoomVoice, TypedVoiceSendsAWavAndPlayPlaysTheNewestClip) {
    Enter();
    const std::string wav = (dir / "tone 1k.wav").string();
    fs::create_directories(dir);
    std::string error;
    ASSERT_TRUE(wavedev::WriteWav(wav, {44100, 1}, voicetest::Tone(1000, -12, 88200, 44100), error))
        << error;
    EXPECT_TRUE(session.OnTypedCommand("/voice " + wav));
    ASSERT_EQ(starter.calls.size(), 1u) << (view.Lines().empty() ? "" : view.Lines().back());
    // Two seconds at 8000 Hz: 100 frames.
    EXPECT_EQ(starter.calls[0].body.size(), 6u + 100u * 32u);

    EXPECT_TRUE(session.OnTypedCommand("/voice " + (dir / "missing.wav").string()));
    EXPECT_EQ(view.Text("text_tip").rfind("语音发送失败：", 0), 0u);
    EXPECT_EQ(starter.calls.size(), 1u);

    // "/play" with nothing shown says so; then the newest of two lines plays.
    EXPECT_TRUE(session.OnTypedCommand("/play"));
    EXPECT_TRUE(player.played.empty());
    Receive(Line(7, "@$#:" + std::string(32, 'a') + ":"));
    Receive(Line(7, "@$#:" + kId + ":"));
    EXPECT_TRUE(session.OnTypedCommand("/play"));
    ASSERT_EQ(player.played.size(), 1u);
    EXPECT_EQ(player.known[player.played[0]], kId);
}

// --- playing ---------------------------------------------------------------------

TEST_F(RoomVoice, IconsFollowThePlayerAndOldEndsChangeNothing) {
    Enter();
    Receive(Line(7, "@$#:" + std::string(32, 'a') + ":"));
    const ChatObjectKey first = chat->voices().Newest();
    Receive(Line(7, "@$#:" + kId + ":"));
    const ChatObjectKey second = chat->voices().Newest();
    const std::string still = VoiceClipIconPath(Prog());
    const std::string playing = VoiceClipPlayingIconPath(Prog());

    ASSERT_TRUE(voices->PlayClip(first));
    EXPECT_EQ(view.ClipIcon(first), playing);
    // Another click stops the first: its icon rests at once.
    ASSERT_TRUE(voices->PlayClip(second));
    EXPECT_EQ(view.ClipIcon(first), still);
    EXPECT_EQ(view.ClipIcon(second), playing);
    // The first's late end (it is not busy) changes nothing that plays.
    ASSERT_TRUE(Deliver(UM_VOICE_PLAY_DONE, first, kVoiceFailed, nullptr));
    EXPECT_EQ(view.ClipIcon(second), playing);
    // An end for a clip that is busy again is an old one.
    ASSERT_TRUE(Deliver(UM_VOICE_PLAY_DONE, second, kVoiceFinished, nullptr));
    EXPECT_EQ(view.ClipIcon(second), playing);
    player.busy = 0;
    ASSERT_TRUE(Deliver(UM_VOICE_PLAY_DONE, second, kVoiceFinished, nullptr));
    EXPECT_EQ(view.ClipIcon(second), still);
    EXPECT_EQ(view.Lines().back(), "voice: done " + kId);

    // A reload forgets the clips in the player too.
    session.EnterRoom(1001);
    EXPECT_GE(player.clears, 1);
}

TEST_F(RoomVoice, ClipsWhoseIdsCannotBeFilesNeverReachThePlayer) {
    Enter();
    EXPECT_FALSE(voices->PlayClip(12345));  // no such icon
    // Such a line shows as text: there is no clip to click.
    Receive(Line(7, "@$#:..:"));
    Receive(Line(7, "@$#:a/b:"));
    EXPECT_EQ(chat->voices().Newest(), 0u);
    EXPECT_TRUE(session.OnTypedCommand("/play"));
    EXPECT_TRUE(player.known.empty());
}

#include "app/room_stack.h"

#include <filesystem>
#include <system_error>

#include "core/log.h"
#include "core/paths.h"
#include "core/service_hosts.h"
#include "platform/keys/app_key_state.h"
#include "platform/kitlib/kitlib.h"
#include "room/catalogue/picture_lookup.h"
#include "ui/skin_root.h"
#include "ui/video_wnd.h"
#include "video/settings.h"

namespace {
IRoomView& ViewOf(CHeadlessView* headless, CRoomUI* window) {
    if (window) return *window;
    return *headless;
}
}  // namespace

CRoomStack::CRoomStack(Mode mode, FILE* out, IRoomLink& link, IRoomAccount& account)
    : account_(account),
      headless_(mode == Mode::headless ? std::make_unique<CHeadlessView>(out) : nullptr),
      window_(mode == Mode::window ? std::make_unique<CRoomUI>(forward_) : nullptr),
      host_(ViewOf(headless_.get(), window_.get()), link, account),
      // The close button leaves the room, and the directory shows again.
      // Without a directory to return to it runs the program's exit path,
      // as the account's "exit" does, rather than leave a hidden window.
      actions_(host_.session(), nullptr, &faces_, [this] {
          if (directory_) host_.session().OnWindowClose();
          else PostMessage(host_.Handle(), UM_EXIT_APPLICATION, 0, 0);
      }) {
    forward_.to = &actions_;
    // Faces sit under the skin folder; the window's face button asks for
    // them when it is created, the chat when lines are decoded.
    if (!faces_.Load(ui::DefaultSkinRoot()))
        log_msg("face table not loaded from %s\r\n", ui::DefaultSkinRoot().c_str());
}

void CRoomStack::CForwardActions::EnterRoom(std::uint32_t roomId) {
    if (to) to->EnterRoom(roomId);
}
bool CRoomStack::CForwardActions::SendChat(const IChatInput& input) {
    return to && to->SendChat(input);
}
void CRoomStack::CForwardActions::SendPicture(const std::string& path) {
    if (to) to->SendPicture(path);
}
BUDDY_HANDLE CRoomStack::CForwardActions::Buddy() const { return to ? to->Buddy() : BUDDY_HANDLE{}; }
std::uint32_t CRoomStack::CForwardActions::RoomId() const { return to ? to->RoomId() : 0; }
void CRoomStack::CForwardActions::CloseWindow() {
    if (to) to->CloseWindow();
}
void CRoomStack::CForwardActions::PlayVoiceClip(ChatObjectKey key) {
    if (to) to->PlayVoiceClip(key);
}
void CRoomStack::CForwardActions::ToggleVoiceMessage() {
    if (to) to->ToggleVoiceMessage();
}
void CRoomStack::CForwardActions::ChatCleared() {
    if (to) to->ChatCleared();
}
const CFaceTable* CRoomStack::CForwardActions::Faces() const {
    return to ? to->Faces() : nullptr;
}
CRoomMic* CRoomStack::CForwardActions::Mic() const { return to ? to->Mic() : nullptr; }
void CRoomStack::CForwardActions::ShowUserInfo(std::uint32_t userId) {
    if (to) to->ShowUserInfo(userId);
}
IModerationActions* CRoomStack::CForwardActions::Moderation() const {
    return to ? to->Moderation() : nullptr;
}
RoomSound CRoomStack::CForwardActions::Sound() const { return to ? to->Sound() : RoomSound{}; }
CRoomVolumes* CRoomStack::CForwardActions::Volumes() const { return to ? to->Volumes() : nullptr; }
CAnchorSign* CRoomStack::CForwardActions::AnchorSign() const { return to ? to->AnchorSign() : nullptr; }
MyChatStyle CRoomStack::CForwardActions::MyStyle() const { return to ? to->MyStyle() : MyChatStyle{}; }
void CRoomStack::CForwardActions::SetMyStyle(const MyChatStyle& style) {
    if (to) to->SetMyStyle(style);
}

CRoomVideo* CRoomStack::CForwardActions::Video() const { return to ? to->Video() : nullptr; }
IPurchaseActions* CRoomStack::CForwardActions::Purchases() const {
    return to ? to->Purchases() : nullptr;
}

CRoomStack::~CRoomStack() {
    forward_.to = nullptr;
    session().SetOnLeft({});
    directory_.reset();
    // The chat leaves the session before the session goes.
    actions_.SetChat(nullptr);
    actions_.SetMic(nullptr);
    actions_.SetModeration(nullptr);
    actions_.SetVoice(nullptr);
    actions_.SetVolumes(nullptr);
    actions_.SetVideo(nullptr);
    actions_.SetAnchorSign(nullptr);
    actions_.SetPurchases(nullptr);
    actions_.SetVoiceMessages(nullptr);
    // Closing never waits for a voice message's download.
    if (voiceMessages_) voiceMessages_->StopAll();
    voiceMessages_.reset();
    player_.reset();
    recorder_.reset();
    // It leaves the moderation's pack and the badges before they go.
    if (badges_) badges_->SetOnMedalsArrived({});
    purchases_.reset();
    sign_.reset();
    moderationActions_.reset();
    host_.SetOnInputLine({});
    early_.reset();
    if (liveSettings_) delete liveSettings_.data();
    liveVideo_.reset();
    // The video stops before the microphone that could still close it.
    if (micAudio_) micAudio_->SetVideo(nullptr);
    video_.reset();
    mic_.reset();
    voice_.reset();
    volumes_.reset();
    badges_.reset();
    chat_.reset();
    catalogues_.reset();
}

CLiveSettingDlg* CRoomStack::OpenLiveSettings() {
    if (!window_ || !videoEngine_ || !video_) return nullptr;
    if (!liveSettings_) {
        liveVideo_ = std::make_unique<CRoomLiveVideo>(*videoEngine_, *video_);
        LiveSettingDevices devices;
        if (voice_) {
            devices.inputs = voice_->devices().InputNames();
            devices.outputs = voice_->devices().OutputNames();
            devices.getVolume = [this](int kind, int device) {
                return voice_ ? voice_->mixer().GetVolume(kind, device) : -1;
            };
            devices.setVolume = [this](int kind, int device, int percent) {
                return voice_ && voice_->mixer().SetVolume(kind, percent, device);
            };
        }
        devices.cameras = CVideoEngine::CameraNames();
        const std::string folder = paths::UserFolder(session().myUserId());
        liveSettings_ = new CLiveSettingDlg(*liveVideo_, std::move(devices),
                                            {folder + "common.xml", folder + "effect.dat"},
                                            [this] { ApplySettings(); });
        liveSettings_->Create(window_.get());
    } else {
        liveSettings_->Reload();
    }
    liveSettings_->ShowWindow(true);
    return liveSettings_;
}

void CRoomStack::ApplySettings() {
    CSettingsStore settings;
    DeviceSettings device;
    VideoSettings video;
    if (settings.SetPath(paths::UserFolder(session().myUserId()) + "common.xml")) {
        settings.ReadDevice(device);
        settings.ReadVideo(video);
    }
    if (voice_) voice_->ApplySettings(device);
    if (mic_ && device.keyvalue != 0) mic_->SetTalkKey(device.keyvalue);
    if (videoEngine_) videoEngine_->SetEncodeMode(static_cast<int>(video.encode_mode));
}

IRoomView& CRoomStack::view() { return ViewOf(headless_.get(), window_.get()); }

void CRoomStack::Open(const std::string& title) {
    if (window_) {
        window_->Create();
        // Where the person left it last time, else centred.
        window_->RememberPlace(CRoomUI::PlaceFile());
    }
    view().SetTitle(title);
    // Headless there is nothing to hide; a window waits for its room.
    if (!window_) view().ShowWindow(true);
}

void CRoomStack::OpenDirectory(std::function<void(std::uint32_t room)> enter,
                               std::function<void()> quit, bool showNow) {
    if (!window_) return;
    CRoomDirectoryWnd::Setup setup;
    setup.servicesHost = KITLIB_GetIppaddr(1);
    setup.buddy = session().buddy();
    setup.logoFolder = paths::UserFolder(session().myUserId()) + "room_logos/";
    const MyAccount& me = session().me();
    setup.me = me.nickname + "(" + std::to_string(me.userId) + ")";
    setup.enter = std::move(enter);
    setup.quit = std::move(quit);
    directory_ = std::make_unique<CRoomDirectoryWnd>(std::move(setup));
    directory_->Create();
    session().SetOnLeft([this](const std::string& reason) {
        if (directory_) directory_->ShowDirectory(reason);
    });
    if (showNow) directory_->ShowDirectory();
}

void CRoomStack::EnableVoice(const CVoiceSet::Options& options) {
    voiceOptions_ = std::make_unique<CVoiceSet::Options>(options);
}

void CRoomStack::EnableVideo() {
    if (!videoEngine_) videoEngine_ = std::make_unique<CVideoEngine>();
}

bool CRoomStack::Start() {
    if (!session().Start()) return false;
    starter_ = std::make_unique<CKitlibStarter>(host_.Handle());
    transfers_ = std::make_unique<CSerialTransfers>(*starter_);
    RoomChatSetup setup;
    setup.programFolder = ui::DefaultSkinRoot();
    setup.vipIcon = [this](std::uint32_t level) {
        return catalogues_ ? catalogues_->VipIcon(level) : std::string();
    };
    chat_ = std::make_unique<CRoomChat>(session(), account_, *transfers_, faces_, setup);
    // The style I chose last time, if I did.
    if (const auto style = ReadMyChatStyle(MyChatStyleFile(session().myUserId())))
        chat_->SetMyStyle(style->colour, style->font);
    actions_.SetChat(chat_.get());
    RoomBadgesSetup badges;
    badges.vipIcon = [this](std::uint32_t level) {
        return catalogues_ ? catalogues_->VipIcon(level) : std::string();
    };
    badges_ = std::make_unique<CRoomBadges>(session(), *transfers_, std::move(badges));
    moderation_ = std::make_unique<CRoomModeration>(session(), account_);
    sign_ = std::make_unique<CAnchorSign>(session(), *starter_);
    actions_.SetAnchorSign(sign_.get());
    CRoomMic::Setup micSetup;
    // The talk key is the user's own, from the settings file in the user's folder.
    const std::string folder = paths::UserFolder(session().myUserId());
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    CSettingsStore settings;
    DeviceSettings device;
    if (settings.SetPath(folder + "common.xml") &&
        settings.ReadDevice(device) && device.keyvalue != 0)
        micSetup.talkKey = device.keyvalue;
    if (window_) {
        window_->SetPictureUser(std::to_string(session().myUserId()));
        keys_ = std::make_unique<CAppKeyState>();
        micSetup.keys = keys_.get();
    }
    // Key edges reach the room as the window's message, typed "/key" too.
    micSetup.postKey = [this](bool down, unsigned key) {
        PostMessage(host_.Handle(), UM_TALK_KEY, down ? 1 : 0, static_cast<std::intptr_t>(key));
    };
    volumes_ = std::make_unique<CRoomVolumes>(session());
    actions_.SetVolumes(volumes_.get());
    if (voiceOptions_) {
        voice_ = std::make_unique<CVoiceSet>(host_.session().link(), *voiceOptions_);
        voice_->ApplySettings(device);
        voice_->SetVolumes(&volumes_->volumes());
        voice_->Start();
        if (videoEngine_) {
            videoBridge_ = std::make_unique<CVideoAudioBridge>(*videoEngine_);
            voice_->SetVideo(videoBridge_.get());
        }
        actions_.SetVoice(voice_.get());
        if (window_) window_->ShowSoundButtons();
    }
    // Voice messages: played through the voice path, recorded from the
    // chosen microphone, kept in the user's "audio/" folder.
    RoomVoiceSetup voiceSetup;
    voiceSetup.programFolder = setup.programFolder;
    voiceSetup.audioFolder = folder + "audio/";
    if (voice_) {
        PlayAudioSetup playSetup;
        playSetup.window = host_.Handle();
        playSetup.audioFolder = voiceSetup.audioFolder;
        playSetup.host = [] { return KITLIB_GetIppaddr(0); };
        player_ = std::make_unique<CPlayAudio>(voice_->playback(), std::move(playSetup));
        recorder_ = std::make_unique<voice::CVoiceRecorder>(voice_->backend());
        voiceSetup.player = player_.get();
        voiceSetup.recorder = recorder_.get();
        voiceSetup.micDevice = [this] { return voice_ ? voice_->micDevice() : -1; };
    }
    voiceMessages_ = std::make_unique<CRoomVoiceMessages>(session(), *chat_, *transfers_,
                                                          std::move(voiceSetup));
    actions_.SetVoiceMessages(voiceMessages_.get());
    micAudio_ = std::make_unique<CVideoMicAudio>(voice_.get());
    micSetup.audio = micAudio_.get();
    mic_ = std::make_unique<CRoomMic>(session(), micSetup);
    actions_.SetMic(mic_.get());
    CRoomVideo::Setup videoSetup;
    videoSetup.engine = videoEngine_.get();
    videoSetup.roomWindow = host_.Handle();
    videoSetup.holdsAnchorMic = [this] { return mic_ && mic_->micOpen(); };
    videoSetup.audioBaseTick = [this] { return mic_ ? mic_->micOpenTick() : 0u; };
    videoSetup.onBroadcast = [this](bool on) {
        if (mic_) mic_->SetVideoOn(on);
    };
    if (window_) {
        const HWND picture = window_->VideoWindow();
        videoSetup.previewWindow = picture;
        videoSetup.videoWindow = picture;
        if (CVideoContainer* area = window_->VideoArea()) area->VideoWnd().SetClickTarget(host_.Handle());
        window_->SetItemChoiceTarget(host_.Handle());
        videoSetup.chooseRecordPath = [this](const std::string& suggested) {
            return window_->ChooseRecordPath(suggested);
        };
    }
    video_ = std::make_unique<CRoomVideo>(session(), std::move(videoSetup));
    micAudio_->SetVideo(video_.get());
    actions_.SetVideo(video_.get());
    if (window_) window_->SetLiveSettingsOpener([this] { OpenLiveSettings(); });
    // The item catalogues sync once my VIP grade is known.
    CRoomCatalogue::Setup catalogueSetup;
    catalogueSetup.programFolder = paths::ExeFolder();
    catalogueSetup.dataFolder = paths::DataFolder();
    const ServiceHosts hosts = GetServiceHosts();
    catalogueSetup.host = hosts.host;
    catalogueSetup.port = hosts.catalogue;
    catalogueSetup.window = host_.Handle();
    catalogues_ = std::make_unique<CRoomCatalogue>(session(), std::move(catalogueSetup));
    // The car show learns a car's id from its picture.
    if (window_)
        window_->RoomShows().SetCarIdLookup([this](const std::string& picture) {
            return catalogues_ ? catalogue::FindIdByPicture(catalogues_->cars().Records(), picture) : 0u;
        });
    // The room's one role table (user menu, vests): the cache now, the
    // role service's list once its pictures are in.
    roles_ = std::make_unique<CRoomRoles>(session(), CRoleVest::instance(), host_.Handle());
    roles_->Request();
    moderationActions_ =
        std::make_unique<CRoomModerationActions>(session(), *moderation_, roles_->table(), mic_.get(),
                                                 volumes_.get());
    actions_.SetModeration(moderationActions_.get());
    // Buying and giving: the catalogues for what is sold, the moderation
    // for my pack, the chat for the flower counter, the badges for medals.
    RoomPurchasesSetup purchaseSetup;
    purchaseSetup.dataFolder = paths::DataFolder();
    purchaseSetup.catalogue = [this](std::uint32_t kind) -> const catalogue::GiftRecords* {
        if (!catalogues_) return nullptr;
        switch (kind) {
            case purchase::kGift: return &catalogues_->gifts().Records();
            case purchase::kCar: return &catalogues_->cars().Records();
            case purchase::kProp: return &catalogues_->packs().Records();
            case purchase::kVip: return &catalogues_->vips().Records();
            default: return nullptr;
        }
    };
    purchaseSetup.medalIcon = [this](const std::string& url) {
        return badges_ ? badges_->MedalIcon(url) : std::string();
    };
    purchases_ = std::make_unique<CRoomPurchases>(session(), account_, *moderation_, chat_.get(),
                                                  std::move(purchaseSetup));
    badges_->SetOnMedalsArrived([this] {
        if (purchases_) purchases_->MedalsArrived();
    });
    actions_.SetPurchases(purchases_.get());
    // Typed lines (headless): "/to ID text" is private, another "/to" is
    // refused with its usage, moderation words ("/gag", "/mode"…) go to
    // their feature, anything else public.
    // Lines typed before the room is entered wait for it.
    early_ = std::make_unique<CEarlyLines>(session(), [this](const std::string& line) {
        if (chat_) chat_->SendLine(line);
    });
    host_.SetOnInputLine([this](const std::string& line) { early_->Typed(line); });
    return true;
}

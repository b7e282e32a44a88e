#pragma once
// The room window: a skinned window over "RoomUI.xml" that shows the room
// through IRoomView (by the names of its controls) and hands what the
// person does to the room through IRoomActions.
//
// Use (app/):
//   ui::UseDefaultSkinRoot();                 // once, before the first window
//   CRoomUI window(actions);                  // actions: e.g. CRoomSessionActions
//   window.Create();
//   CRoomSession session(window, link, ...);  // the window is the session's view
//   window.ShowWindow(true);                  // or let the session show it on entry
// The window must outlive the session (the session keeps a reference to it
// and to its user list observer).

#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "chat/chat_input.h"
#include "chat/chat_sink.h"
#include "platform/buddy/buddy.h"
#include "platform/dui/menu.h"
#include "platform/dui/small_controls.h"
#include "platform/dui/window.h"
#include "room/headless_view.h"
#include "room/my_chat_style.h"
#include "room/room_view.h"
#include "ui/chat_input_box.h"
#include "ui/car_show_dlg.h"
#include "ui/chat_view.h"
#include "ui/face_sel_dlg.h"
#include "ui/gift_show_dlg.h"
#include "ui/room_history.h"
#include "ui/room_shows.h"
#include "ui/room_purchases_view.h"
#include "ui/sign_dlg.h"
#include "ui/sound_slider_dlg.h"
#include "ui/user_menu_view.h"

class CAnchorSign;
class CFaceTable;
class CGiftCtrl;
class CMixer;
class CRoomMic;
class CRoomVideo;
class CVideoContainer;
class CRoomVolumes;
class IModerationActions;
class IPurchaseActions;
class CRoomUserList;

// The devices the window's microphone and sound buttons and their volume
// sliders act on.
struct RoomSound {
    CMixer* mixer = nullptr;  // none without voice: the buttons are disabled
    int micDevice = -1;       // −1: the default device
    int speakerDevice = -1;
};

// What the room window asks of the room. Called on the UI thread.
class IRoomActions {
public:
    virtual ~IRoomActions() = default;
    // A room chosen in the history drop-down (window message 1757).
    virtual void EnterRoom(std::uint32_t roomId) = 0;
    // The send button or Enter. True when the line was taken: the box is
    // then emptied (a refused line stays for the person to change).
    virtual bool SendChat(const IChatInput& input) = 0;
    // A picture chosen with the picture button.
    virtual void SendPicture(const std::string& path) = 0;
    // The friends, history and favourites store; null while there is none
    // (the history button then does nothing).
    virtual BUDDY_HANDLE Buddy() const = 0;
    // The room the window shows (0 outside a room).
    virtual std::uint32_t RoomId() const = 0;
    // The close button.
    virtual void CloseWindow() = 0;
    // A voice clip icon in a chat view was clicked.
    virtual void PlayVoiceClip(ChatObjectKey key) = 0;
    // The voice-message button: the first press records, the next sends.
    virtual void ToggleVoiceMessage() {}
    // "Clear" in a chat view's menu: the view is empty, drop the cached chat
    // pictures.
    virtual void ChatCleared() = 0;
    // The faces the face button offers; null or empty: the button is disabled.
    virtual const CFaceTable* Faces() const = 0;
    // The microphone and its queue; null until the room has started.
    virtual CRoomMic* Mic() const { return nullptr; }
    // A user's profile, shown by the account library.
    virtual void ShowUserInfo(std::uint32_t userId) { (void)userId; }
    // The user menu's moderation, its dialogs' and the room-mode selector's;
    // null until the room has started (no user menu opens then).
    virtual IModerationActions* Moderation() const { return nullptr; }
    // The voice's mixer and devices, asked afresh for every use (the voice
    // may come and go with the room).
    virtual RoomSound Sound() const { return {}; }
    // How loud each user sounds to me; null until the room has started.
    virtual CRoomVolumes* Volumes() const { return nullptr; }
    // My chat style: what my lines carry now, and a new one chosen (kept
    // for my next start).
    virtual MyChatStyle MyStyle() const { return {}; }
    virtual void SetMyStyle(const MyChatStyle& style) { (void)style; }
    // My broadcast, the anchor's picture and recording; null until the
    // room has started or without video.
    virtual CRoomVideo* Video() const { return nullptr; }
    // The anchor's clock-in (bnt_card) and sign-in (bnt_sign); null until
    // the room has started.
    virtual CAnchorSign* AnchorSign() const { return nullptr; }
    // The purchases: panels, buy dialogs, flower, recharge; null without.
    virtual IPurchaseActions* Purchases() const { return nullptr; }
};

class CRoomUI : public WindowImplBase,
                public IRoomView,
                public IGiftShowSlink,
                public ICarShowSlink,
                public IGifSlink {
public:
    // Menu names of the chat views' zoom entries and their quarters.
    static int ZoomQuartersFor(std::string_view menuName);

    explicit CRoomUI(IRoomActions& actions);
    ~CRoomUI() override;

    std::string GetWindowClassName() const override;
    std::string GetSkinFile() const override { return "RoomUI.xml"; }
    // Where the program keeps the window's place (RememberPlace): conf/ of
    // the data folder.
    static std::string PlaceFile();
    CControlUI* CreateControl(std::string_view name) override;
    void Notify(TNotifyUI& msg) override;

    // ---- IRoomView ----
    void SetText(const std::string& control, const std::string& text) override;
    void SetVisible(const std::string& control, bool visible) override;
    void SetEnabled(const std::string& control, bool enabled) override;
    void SetImage(const std::string& control, const std::string& file) override;
    void SetTooltip(const std::string& control, const std::string& text) override;
    void SetProgress(const std::string& control, int value, int max) override;
    void ShowTip(const std::string& text) override;
    void ShowNotice(const std::string& markup) override;
    void MessageBox(const std::string& text, const std::string& caption, BoxIcon icon) override;
    void SetTitle(const std::string& title) override;
    void ShowWindow(bool shown) override;
    IChatView& ChatView(const std::string& view) override;
    void ClearChat(const std::string& view) override;
    bool Minimised() const override;
    IRoomShows& Shows() override { return shows_; }
    // In every chat view: a clip is shown in one, which the room need not know.
    void SetVoiceClipIcon(ChatObjectKey key, const std::string& icon) override;
    IUserListObserver& UserListView() override;
    IMicQueueObserver& MicQueueView() override { return wheatForward_; }
    // Combos select without telling the room (a mode shown is not a mode chosen).
    void SetSelection(const std::string& control, int index) override;
    // The sign prompt "SignWnd" (room_ui_sign.cpp).
    void OpenSignDialog(std::function<void()> confirm) override;
    void CloseSignDialog() override;
    bool SignDialogOpen() const override;
    // The gift, car or pack panel reloads its items (room_ui_gifts.cpp).
    void ItemsReady(int kind) override;
    // The buy dialogs, my lists and the billboards (room_ui_purchases.cpp).
    IPurchaseView& Purchases() override { return purchases_; }
    // The flower animation wrapped: the room shows the flower button again.
    void OnGifEnd(CGifControl* gif) override;

    // ---- parts, for the program and tests ----
    CRoomUserList* UserList() const;
    CChatView* FindChat(const std::string& view);
    CChatInputBox& Input() { return *input_; }
    CRoomHistoryDlg* History() const { return history_; }
    CMenuWnd* OpenMenu() const { return menu_; }
    // The chat view the open chat menu belongs to.
    const std::string& MenuView() const { return menuView_; }
    std::uint32_t MenuUser() const { return menuUser_; }
    CUserMenuView& UserMenuView() { return userMenu_; }
    // The gift banner and the car show (room_ui_shows.cpp).
    CRoomShows& RoomShows() { return shows_; }
    void GetGiftShowArea(QRect& area) override;
    void GetCarShowPoints(std::uint32_t carId, QPoint& start, QPoint& end) override;
    bool RoomWindowVisible() const override;
    // The volume pop-up, once one was opened.
    CSoundSliderDlg* SoundSlider() const { return slider_; }
    // The sign prompt, once one was opened.
    CSignDlg* SignDialog() const { return sign_; }
    // The face picker, once the face button opened it.
    CFaceSelDlg* FacePicker() const { return facePicker_; }
    // The picker's context value (UM_FACE_CHOSEN's wParam): the input box.
    static constexpr std::uintptr_t kFaceContext = 1;
    // The item panel of a kind (1 gifts, 4 cars, 6 packs); null for another.
    CGiftCtrl* ItemPanel(int kind) const;
    // Where the panels post a chosen item (UM_ITEM_CHOSEN): the room host,
    // whose features handle it; this window's own handle until set.
    void SetItemChoiceTarget(HWND target);
    CRoomPurchasesView& PurchaseView() { return purchases_; }

    // Replaceable for tests: message boxes, and the file dialogs of the
    // picture button and "save as" (they return the chosen path or "").
    using BoxFn = std::function<void(const std::string& text, const std::string& caption, BoxIcon)>;
    using OpenFn = std::function<std::string()>;
    using SaveFn = std::function<std::string(const std::string& suggested, const std::string& filter)>;
    void SetMessageBoxHandler(BoxFn f) { box_ = std::move(f); }
    void SetOpenPictureDialog(OpenFn f) { openPicture_ = std::move(f); }
    void SetSavePictureDialog(SaveFn f) { savePicture_ = std::move(f); }
    // The screen cut: the file it writes to (empty: none can be made);
    // returns the saved file, or "" when cancelled or refused (then with why).
    using CutFn = std::function<std::string(std::string* why)>;
    void SetScreenCut(CutFn f) { cut_ = std::move(f); }
    // The style chooser of bnt_font: the chosen style, or nothing.
    using StyleFn = std::function<std::optional<MyChatStyle>(const MyChatStyle& now)>;
    void SetStyleChooser(StyleFn f) { chooseStyle_ = std::move(f); }
    // The video area; its picture window's handle is what the video library
    // draws to (0 before the window is created).
    CVideoContainer* VideoArea() const { return videoArea_; }
    HWND VideoWindow() const;
    // The recording's save dialog ("" = cancelled).
    std::string ChooseRecordPath(const std::string& suggested);
    void SetSaveRecordDialog(SaveFn f) { saveRecord_ = std::move(f); }
    // What bnt_videoOpen2 opens (the live settings); the button stays
    // disabled without it.
    void SetLiveSettingsOpener(std::function<void()> open);
    // Whose Image/ folder a screen cut lands in (my user id).
    void SetPictureUser(std::string user) { pictureUser_ = std::move(user); }

    // What the window does for a control; public so the program's hot keys
    // (Ctrl+Q) and tests reach the same paths.
    void SendChat();
    void ChoosePicture();
    // Cut a region of the screen and send it like a chosen picture (the
    // button and Ctrl+S).
    void ScreenCut();
    // My chat style's chooser (the font button).
    void ChooseStyle();
    void OpenHistory();
    void SearchUser();
    void CloseSearch();
    // The chat menu for a view at a screen point (viewport point for the
    // picture under it).
    void OpenChatMenu(const std::string& view, QPoint screen);
    // The user menu; false when the user has none (not in the room).
    bool OpenUserMenu(std::uint32_t userId, QPoint screen);
    void OnMenuChoice(const std::string& element);
    // The queue menu on a queued user, at a screen point.
    void OpenQueueMenu(std::uint32_t userId, QPoint screen);
    std::uint32_t QueueMenuUser() const { return queueMenuUser_; }
    // The microphone and sound buttons as the devices say (muted: the
    // "open" button), disabled without voice; on showing and after a click.
    void ShowSoundButtons();
    // The volume pop-up of a mixer kind (CMixer::kMicrophone, kPlayback)
    // beside a screen rectangle, or of a user's volume beside a point.
    void OpenDeviceVolume(int kind, const QRect& besideOnScreen);
    void OpenUserVolume(std::uint32_t userId, QPoint screen);

protected:
    void InitWindow() override;
    std::intptr_t HandleMessage(const WindowMessage& m) override;
    void changeEvent(QEvent* e) override;
    // Escape does what the close button does, so leaving the room and
    // signing out run instead of the window just vanishing.
    void OnEscape() override;

private:
    // Forwards the model's changes to the list control, which may not exist
    // yet (or at all) when the room starts.
    class UserListForward : public IUserListObserver {
    public:
        explicit UserListForward(CRoomUI& w) : w_(w) {}
        void OnInserted(std::size_t i, const UserListItem& item) override;
        void OnRemoved(std::size_t i) override;
        void OnChanged(std::size_t i, const UserListItem& item) override;
        void OnCleared() override;

    private:
        CRoomUI& w_;
    };
    // Fills the queue list control ("List_Wheat") from the microphone.
    class WheatListForward : public IMicQueueObserver {
    public:
        explicit WheatListForward(CRoomUI& w) : w_(w) {}
        void OnQueueShown(const std::vector<MicQueueLine>& lines) override;
        void OnQueueLineChanged(std::size_t index, const MicQueueLine& line) override;

    private:
        CRoomUI& w_;
    };
    // The view for names the window does not have: shows nothing.
    class NoChat : public IChatView {
    public:
        void AppendText(std::string_view, const ChatTextFormat&) override {}
        void AppendFace(const FaceEntry&) override {}
        void AppendImage(const std::string&) override {}
        void AppendPlaceholder(ChatObjectKey, const std::string&) override {}
        void ReplacePlaceholder(ChatObjectKey, const std::string&) override {}
        void FailPlaceholder(ChatObjectKey) override {}
        void AppendVoiceClip(ChatObjectKey, const std::string&) override {}
        void AppendLineBreak() override {}
        std::size_t LineCount() const override { return 0; }
        void DeleteFirstLines(std::size_t) override {}
        void ScrollToEnd() override {}
    };

    void OnClick(const std::string& name, TNotifyUI& msg);
    // The microphone's buttons and queue menu (room_ui_mic.cpp); true when
    // the name was theirs.
    bool OnMicClick(const std::string& name);
    bool OnMicMenuChoice(const std::string& element);
    // The microphone and sound buttons (room_ui_sound.cpp): a click mutes or
    // unmutes, a right-click opens the volume; true when the name was theirs.
    bool OnSoundClick(const std::string& name);
    bool OnSoundRightClick(const std::string& name, const TNotifyUI& msg);
    // The video and record buttons (room_ui_video.cpp).
    bool OnVideoClick(const std::string& name);
    // bnt_card and bnt_sign (room_ui_sign.cpp).
    bool OnSignClick(const std::string& name);
    // The three item panels' set-up and first items (room_ui_gifts.cpp).
    void SetUpItemPanels();
    // The flower, recharge, VIP, car list and pack buttons, and the
    // purchase dialogs' messages (room_ui_purchases.cpp).
    bool OnPurchaseClick(const std::string& name);
    bool OnPurchaseMessage(const WindowMessage& m);
    CSoundSliderDlg& Slider();
    void OnSelect(const std::string& name);
    void ShowMaximised(bool maximised);
    void SaveChatPicture();
    // The face picker above the face button; a face chosen there arrives as
    // UM_FACE_CHOSEN and goes into the input box.
    void OpenFacePicker(const CControlUI* button);
    void InsertChosenFace(std::uintptr_t context);

    IRoomActions& actions_;
    UserListForward userForward_{*this};
    WheatListForward wheatForward_{*this};
    std::uint32_t queueMenuUser_ = 0;
    NoChat noChat_;
    // The banner and the car show over the room; the video text scrolls
    // over the video.
    CRoomShows::Setup ShowsSetup();
    CRoomShows shows_{ShowsSetup()};
    CVideoContainer* videoArea_ = nullptr;
    SaveFn saveRecord_;
    std::function<void()> openLiveSettings_;
    std::map<std::string, std::unique_ptr<CChatView>> chats_;
    std::unique_ptr<CChatInputBox> input_;
    QPointer<CRoomHistoryDlg> history_;
    QPointer<CMenuWnd> menu_;
    QPointer<CSoundSliderDlg> slider_;
    QPointer<CSignDlg> sign_;
    QPointer<CFaceSelDlg> facePicker_;
    std::string menuView_;
    std::string menuPicture_;  // the picture under the chat menu
    std::uint32_t menuUser_ = 0;
    CUserMenuView userMenu_{actions_, this};
    BoxFn box_;
    OpenFn openPicture_;
    CutFn cut_;
    StyleFn chooseStyle_;
    std::string pictureUser_;
    SaveFn savePicture_;
    CRoomPurchasesView purchases_{*this};
};

#include "ui/room_ui.h"
#include "ui/video_wnd.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QShortcut>
#include <QTextEdit>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "chat/face_table.h"
#include "core/log.h"
#include "core/paths.h"
#include "platform/pictool/pictool.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "platform/dui/menu.h"
#include "platform/dui/small_controls.h"
#include "ui/face_sel_dlg.h"
#include "ui/gift_ctrl.h"
#include "ui/billboard_list.h"
#include "ui/moderation_actions.h"
#include "ui/room_history.h"
#include "ui/room_user_list.h"

namespace {

const char* const kChatViews[] = {"Edit_RecvChat", "Edit_VipChat", "Edit_PrivateChat", "Edit_NearChat"};
// Drawn by the room like a chat view, but without the chat menu.
constexpr const char* kAnnouncement = "Edit_Announcement";
constexpr const char* kChatInput = "Edit_SendChat";
constexpr const char* kChatMenu = "RoomRecvEditMenu.xml";
constexpr const char* kUserMenu = "RoomUserMenu.xml";
constexpr const char* kCheckImage = "file='menu_check.png' dest='4,4,20,20'";

struct Zoom {
    const char* menu;
    int quarters;
};
constexpr Zoom kZooms[] = {{"Menu_ZoomRatio_400", 16}, {"Menu_ZoomRatio_200", 8}, {"Menu_ZoomRatio_150", 6},
                           {"Menu_ZoomRatio_125", 5},  {"Menu_ZoomRatio_100", 4}, {"Menu_ZoomRatio_75", 3},
                           {"Menu_ZoomRatio_50", 2}};

// Buttons whose work comes with other parts of the program (video,
// purchases, settings). Until then they are shown but disabled, so nothing
// looks as if it worked when it does not.
const char* const kNotYetBuilt[] = {
    "bnt_SysSet",     "bnt_bbs",         "bnt_room_property",
    "bnt_videoOpen2", "bnt_money"};

bool IsChatView(std::string_view name) {
    for (const char* v : kChatViews)
        if (name == v) return true;
    return false;
}

// A decimal user id, or 0 when the text is not one.
std::uint32_t ParseUserId(const std::string& text) {
    if (text.empty() || text.size() > 10) return 0;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(v) : 0;
}

}  // namespace

// ---------------------------------------------------------------- forwarding

void CRoomUI::UserListForward::OnInserted(std::size_t i, const UserListItem& item) {
    if (CRoomUserList* l = w_.UserList()) l->OnInserted(i, item);
}
void CRoomUI::UserListForward::OnRemoved(std::size_t i) {
    if (CRoomUserList* l = w_.UserList()) l->OnRemoved(i);
}
void CRoomUI::UserListForward::OnChanged(std::size_t i, const UserListItem& item) {
    if (CRoomUserList* l = w_.UserList()) l->OnChanged(i, item);
}
void CRoomUI::UserListForward::OnCleared() {
    if (CRoomUserList* l = w_.UserList()) l->OnCleared();
}

// ---------------------------------------------------------------- window

int CRoomUI::ZoomQuartersFor(std::string_view menuName) {
    for (const Zoom& z : kZooms)
        if (menuName == z.menu) return z.quarters;
    return 0;
}

CRoomUI::CRoomUI(IRoomActions& actions) : actions_(actions) {
    box_ = [this](const std::string& text, const std::string& caption, BoxIcon icon) {
        const QString t = QString::fromStdString(text), c = QString::fromStdString(caption);
        if (icon == BoxIcon::Error) QMessageBox::critical(this, c, t);
        else QMessageBox::information(this, c, t);
    };
    openPicture_ = [this] {
        return QFileDialog::getOpenFileName(this, "选择图片", {}, "图像文件(*.png *.jpg *.jpeg *.gif *.bmp)")
            .toStdString();
    };
    cut_ = [this](std::string* why) -> std::string {
        const std::string file = paths::PicturePath(pictureUser_, "");
        if (file.empty()) {
            if (why) *why = "截图无法保存";
            return {};
        }
        return PICTOOL_ScreenCut(this, file, why) == PICTOOL_CUT_SAVED ? file : std::string();
    };
    chooseStyle_ = [this](const MyChatStyle& now) -> std::optional<MyChatStyle> {
        QFont start(QString::fromUtf8("宋体"), 10);
        const QString font = QString::fromStdString(now.font);
        if (const QStringList parts = font.split(','); parts.size() >= 2) {
            start.setFamily(parts[0]);
            start.setPointSize(parts[1].toInt());
            start.setBold(parts.contains("bold"));
        }
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, start, this, "聊天字体");
        if (!ok) return std::nullopt;
        const QColor c = QColorDialog::getColor(QColor::fromRgb(now.colour), this, "聊天文字颜色");
        if (!c.isValid()) return std::nullopt;
        const int size = std::clamp(f.pointSize(), kMinChatFontSize, kMaxChatFontSize);
        const auto made = MakeChatFont(f.family().toStdString(), size, f.bold());
        if (!made) return std::nullopt;
        return MyChatStyle{static_cast<std::uint32_t>(c.rgb() & 0xFFFFFF), *made};
    };
    // The room's hot keys, also while the chat input has the keyboard.
    auto* cutKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    QObject::connect(cutKey, &QShortcut::activated, this, [this] { ScreenCut(); });
    auto* pictureKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    QObject::connect(pictureKey, &QShortcut::activated, this, [this] { ChoosePicture(); });
    saveRecord_ = [this](const std::string& suggested, const std::string& filter) {
        return QFileDialog::getSaveFileName(this, "保存录像", QString::fromStdString(suggested),
                                            QString::fromStdString(filter))
            .toStdString();
    };
    savePicture_ = [this](const std::string& suggested, const std::string& filter) {
        return QFileDialog::getSaveFileName(this, "图片另存为", QString::fromStdString(suggested),
                                            QString::fromStdString(filter))
            .toStdString();
    };
    userMenu_.SetVolumeSlider([this](std::uint32_t userId) { OpenUserVolume(userId, QCursor::pos()); });
}

CRoomUI::~CRoomUI() {
    // The drop-down, the volume pop-up, the sign prompt, the face picker and a
    // menu left open are top-level windows of their own.
    if (history_) delete history_.data();
    if (slider_) delete slider_.data();
    if (sign_) delete sign_.data();
    if (menu_) delete menu_.data();
    if (facePicker_) delete facePicker_.data();
}

std::string CRoomUI::GetWindowClassName() const {
    // One class per process, as each client registers its own.
    return "ZERI_ROOM_WINDOW_" + std::to_string(static_cast<long>(::getpid()));
}

CControlUI* CRoomUI::CreateControl(std::string_view name) {
    if (name == "userlist" || name == "ahchorlist") return new CRoomUserList;
    if (name == "wait" || name == "gifflower") return new CGifControl;
    if (name == "buttonex") return new CButtonExUI;
    if (name == "video") return videoArea_ = new CVideoContainer;
    if (name == "giftctrl") return new CGiftCtrl;
    if (name == "billboardlist") return new CUserBillboardList;
    return nullptr;
}

void CRoomUI::InitWindow() {
    for (const char* name : kChatViews)
        chats_[name] = std::make_unique<CChatView>(FindControl<CRichEditUI>(name));
    chats_[kAnnouncement] = std::make_unique<CChatView>(FindControl<CRichEditUI>(kAnnouncement));
    input_ = std::make_unique<CChatInputBox>(FindControl<CRichEditUI>(kChatInput));
    for (const char* name : kNotYetBuilt) SetControlEnabled(name, false);
    const CFaceTable* faces = actions_.Faces();
    SetControlEnabled("bnt_Face", faces && !faces->Empty());
    ShowSoundButtons();
    SetUpItemPanels();
    // Where the desktop gives no picture of the screen, the button says why.
    if (const std::string no = PICTOOL_CanCut(); !no.empty()) {
        SetControlEnabled("bnt_ScreenCut", false);
        SetControlAttribute("bnt_ScreenCut", "tooltip", no);
    }
    if (auto* flower = FindControl<CGifControl>("gif_flower")) flower->SetListener(this);
    // Badges and downloaded pictures live in the data folder.
    Manager().AddImageRoot(paths::DataFolder());
}

IUserListObserver& CRoomUI::UserListView() { return userForward_; }

CRoomUserList* CRoomUI::UserList() const { return FindControl<CRoomUserList>("List_User"); }

CChatView* CRoomUI::FindChat(const std::string& view) {
    auto it = chats_.find(view);
    return it == chats_.end() ? nullptr : it->second.get();
}

// ---------------------------------------------------------------- IRoomView

void CRoomUI::SetText(const std::string& control, const std::string& text) {
    CControlUI* c = FindControl(control);
    if (!c) return;
    // The room empties lists (the microphone queue) by emptying their text.
    if (auto* list = dynamic_cast<CListUI*>(c)) {
        if (text.empty()) {
            if (auto* users = dynamic_cast<CRoomUserList*>(list)) users->OnCleared();
            else list->RemoveAll();
        }
        return;
    }
    c->SetText(text);
}

void CRoomUI::SetVisible(const std::string& control, bool visible) {
    SetControlVisible(control, visible);
    // An animation plays while it is shown: the flower's starts afresh with
    // each flower, and a hidden one wraps for nobody.
    if (auto* gif = FindControl<CGifControl>(control)) {
        if (visible) gif->Play();
        else gif->Stop();
    }
}

void CRoomUI::SetEnabled(const std::string& control, bool enabled) { SetControlEnabled(control, enabled); }

void CRoomUI::SetImage(const std::string& control, const std::string& file) {
    CControlUI* c = FindControl(control);
    if (!c) return;
    if (auto* gif = dynamic_cast<CGifControl*>(c)) {
        gif->SetFile(file);
        gif->Play();
    } else if (auto* b = dynamic_cast<CButtonUI*>(c)) {
        b->SetNormalImage(file);
    } else {
        c->SetBkImage(file);
    }
    c->update();
}

void CRoomUI::SetSelection(const std::string& control, int index) {
    auto* combo = FindControl<CComboUI>(control);
    if (!combo) return;
    if (index >= 0) combo->SelectItem(index, false);
    else if (combo->Box()) combo->Box()->setCurrentIndex(-1);
}

void CRoomUI::SetProgress(const std::string& control, int value, int max) {
    auto* bar = FindControl<CProgressUI>(control);
    if (!bar) return;
    bar->SetAttribute("max", std::to_string(max));
    bar->SetValue(value);
}

void CRoomUI::SetTooltip(const std::string& control, const std::string& text) {
    if (CControlUI* c = FindControl(control)) c->SetToolTip(text);
}

void CRoomUI::ShowTip(const std::string& text) {
    SetControlText("text_tip", text);
    // The label cuts long texts; the whole one is a hover away.
    SetTooltip("text_tip", text);
}

void CRoomUI::ShowNotice(const std::string& markup) { SetControlText("LabelLine", markup); }

void CRoomUI::MessageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
    if (box_) box_(text, caption, icon);
}

void CRoomUI::SetTitle(const std::string& title) { setWindowTitle(QString::fromStdString(title)); }

void CRoomUI::ShowWindow(bool shown) {
    // Shown on entering a room: the devices may have changed meanwhile.
    if (shown) ShowSoundButtons();
    else if (slider_) slider_->Dismiss();
    WindowImplBase::ShowWindow(shown);
    if (shown) shows_.RoomShown();
    // What a person types first is chat, not a user id for the search box.
    if (shown)
        if (CControlUI* box = FindControl(kChatInput)) box->setFocus(Qt::ActiveWindowFocusReason);
}

std::string CRoomUI::PlaceFile() { return paths::DataFolder() + "conf/room_window"; }

IChatView& CRoomUI::ChatView(const std::string& view) {
    if (CChatView* v = FindChat(view)) return *v;
    return noChat_;
}

void CRoomUI::ClearChat(const std::string& view) {
    if (CChatView* v = FindChat(view)) v->Clear();
}

bool CRoomUI::Minimised() const { return isMinimized(); }

void CRoomUI::SetVoiceClipIcon(ChatObjectKey key, const std::string& icon) {
    for (auto& [name, view] : chats_) view->SetVoiceClipIcon(key, icon);
}

// ---------------------------------------------------------------- notifications

void CRoomUI::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kClick) {
        OnClick(name, msg);
    } else if (msg.sType == n::kSelectChanged) {
        if (msg.wParam == 1) OnSelect(name);
    } else if (msg.sType == n::kReturn) {
        if (name == kChatInput) SendChat();
        else if (name == "EditSearch") SearchUser();
    } else if (msg.sType == n::kTextChanged) {
        if (name == "EditSearch") SetControlVisible("bntsearchclose", !GetControlText("EditSearch").empty());
    } else if (msg.sType == n::kItemRClick) {
        if (name == "List_User" || name == "List_Search") {
            auto* list = dynamic_cast<CRoomUserList*>(msg.pSender);
            if (const std::uint32_t user = list ? list->UserAt(static_cast<int>(msg.wParam)) : 0)
                OpenUserMenu(user, msg.ptMouse);
        } else if (name == "List_Wheat") {
            auto* list = dynamic_cast<CListUI*>(msg.pSender);
            CControlUI* line = list ? list->GetItemAt(static_cast<int>(msg.wParam)) : nullptr;
            const std::uint32_t user = line ? ParseUserId(line->GetUserData()) : 0;
            if (user) OpenQueueMenu(user, msg.ptMouse);
        }
    } else if (msg.sType == n::kMenu) {
        if (IsChatView(name)) OpenChatMenu(name, msg.ptMouse);
        else OnSoundRightClick(name, msg);
    } else if (msg.sType == n::kMenuMsg) {
        OnMenuChoice(name);
    } else if (msg.sType == n::kItemSelect) {
        // Only a person's pick arrives here: selections set by the room are silent.
        if (name == "Combo_Room_mode")
            if (IModerationActions* m = actions_.Moderation()) m->ChooseRoomMode(static_cast<int>(msg.wParam));
    } else if (msg.sType == n::kLink) {
        const std::string prefix = CChatView::kVoiceLinkPrefix;
        if (msg.text.rfind(prefix, 0) == 0) {
            const std::string digits = msg.text.substr(prefix.size());
            char* end = nullptr;
            const unsigned long long key = std::strtoull(digits.c_str(), &end, 10);
            if (!digits.empty() && end && *end == '\0' && key != 0) actions_.PlayVoiceClip(key);
        }
    }
}

void CRoomUI::OnClick(const std::string& name, TNotifyUI& msg) {
    if (OnMicClick(name) || OnSoundClick(name) || OnVideoClick(name) || OnSignClick(name) || OnPurchaseClick(name))
        return;
    if (name == "bnt_SysClose") actions_.CloseWindow();
    else if (name == "bnt_SysMin") showMinimized();
    else if (name == "bnt_SysMax") ShowMaximised(true);
    else if (name == "bnt_SysRestore") ShowMaximised(false);
    else if (name == "bnt_sendchat") SendChat();
    else if (name == "bnt_Image") ChoosePicture();
    else if (name == "bnt_VoiceMsg") actions_.ToggleVoiceMessage();
    else if (name == "bnt_ScreenCut") ScreenCut();
    else if (name == "bnt_font") ChooseStyle();
    else if (name == "bnt_Face") OpenFacePicker(msg.pSender);
    else if (name == "bnt_history") OpenHistory();
    else if (name == "bntSearchUser") SearchUser();
    else if (name == "bntsearchclose") CloseSearch();
    else if (name == "bnt_private_close") {
        SetControlVisible("Container_privatechat", false);
        SetControlText("Label_private", "");
    } else if (name == "bnt_store" || name == "bnt_cancel_store") {
        const BUDDY_HANDLE buddy = actions_.Buddy();
        const std::uint32_t room = actions_.RoomId();
        const bool add = name == "bnt_store";
        // A refused call leaves both buttons as they were.
        if (!buddy || room == 0) return;
        if (!(add ? BUDDY_AddStore(buddy, room) : BUDDY_DelStore(buddy, room))) return;
        SetControlVisible("bnt_cancel_store", add);
        SetControlVisible("bnt_store", !add);
    }
}

void CRoomUI::OnSelect(const std::string& name) {
    struct Tab {
        const char* option;
        const char* tab;
        int index;
    };
    static const Tab kTabs[] = {
        {"Option_userlist", "tabuser", 0},       {"Option_wheatlist", "tabuser", 1},
        {"Option_chattext", "tabchat", 0},       {"Option_chatnear", "tabchat", 1},
        {"Option_buy_gift", "tabprop", 0},       {"Option_buy_car", "tabprop", 1},
        {"Option_buy_prop", "tabprop", 2},       {"Option_wealth_day", "tabwealth", 0},
        {"Option_wealth_week", "tabwealth", 1},  {"Option_wealth_month", "tabwealth", 2},
        {"Option_wealth_all", "tabwealth", 3},
    };
    for (const Tab& t : kTabs)
        if (name == t.option)
            if (auto* tab = FindControl<CTabLayoutUI>(t.tab)) tab->SelectItem(t.index);
}

void CRoomUI::ShowMaximised(bool maximised) {
    if (maximised) Maximize();
    else Restore();
    SetControlVisible("bnt_SysMax", !maximised);
    SetControlVisible("bnt_SysRestore", maximised);
}

void CRoomUI::changeEvent(QEvent* e) {
    WindowImplBase::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
        SetControlVisible("bnt_SysMax", !IsMaximised());
        SetControlVisible("bnt_SysRestore", IsMaximised());
        if (RoomWindowVisible()) shows_.RoomShown();
    }
}

std::intptr_t CRoomUI::HandleMessage(const WindowMessage& m) {
    if (m.msg == UM_HISTORY_ENTER_ROOM) {
        actions_.EnterRoom(static_cast<std::uint32_t>(m.wParam));
        return 1;
    }
    if (m.msg == UM_FACE_CHOSEN) {
        InsertChosenFace(m.wParam);
        return 1;
    }
    return OnPurchaseMessage(m) ? 1 : 0;
}

// ---------------------------------------------------------------- actions

void CRoomUI::SendChat() {
    if (!input_) return;
    if (actions_.SendChat(*input_)) input_->Clear();
    if (CControlUI* box = FindControl(kChatInput)) box->setFocus();
}

void CRoomUI::ChoosePicture() {
    if (!openPicture_) return;
    const std::string path = openPicture_();
    if (!path.empty()) actions_.SendPicture(path);
}

void CRoomUI::ScreenCut() {
    const CControlUI* button = FindControl("bnt_ScreenCut");
    if (!cut_ || (button && !button->isEnabled())) return;
    std::string why;
    const std::string file = cut_(&why);
    if (!file.empty()) actions_.SendPicture(file);
    else if (!why.empty()) ShowTip(why);
}

void CRoomUI::ChooseStyle() {
    if (!chooseStyle_) return;
    if (const auto style = chooseStyle_(actions_.MyStyle())) actions_.SetMyStyle(*style);
}

void CRoomUI::OpenHistory() {
    const BUDDY_HANDLE buddy = actions_.Buddy();
    CControlUI* button = FindControl("bnt_history");
    if (!buddy || !button) return;
    if (!history_) {
        history_ = new CRoomHistoryDlg(GetHWND());
        history_->Create();
    }
    history_->FillFromStore(buddy);
    history_->ShowUnder(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
}

void CRoomUI::SearchUser() {
    const std::uint32_t id = ParseUserId(GetControlText("EditSearch"));
    CRoomUserList* list = UserList();
    if (id == 0 || !list || list->IndexOfUser(id) < 0) return;
    SetControlVisible("ContainerListUser", true);
    SetControlVisible("ContainerListSearch", false);
    SetControlSelected("Option_userlist", true);
    if (auto* tab = FindControl<CTabLayoutUI>("tabuser")) tab->SelectItem(0);
    list->SelectUser(id);
}

void CRoomUI::CloseSearch() {
    SetControlVisible("ContainerListUser", true);
    SetControlVisible("ContainerListSearch", false);
    SetControlVisible("bntsearchclose", false);
    SetControlText("EditSearch", "");
}

// ---------------------------------------------------------------- menus

void CRoomUI::OpenChatMenu(const std::string& view, QPoint screen) {
    CChatView* chat = FindChat(view);
    if (!chat || !chat->Control()) return;
    QTextEdit* e = chat->Editor();
    // On a user's name the user's menu opens, as on the user list; a user
    // who has left has none, and the view's own menu opens instead.
    if (const std::uint32_t user = chat->UserAt(e->viewport()->mapFromGlobal(screen)))
        if (OpenUserMenu(user, screen)) return;
    if (menu_) menu_->close();
    auto* menu = new CMenuWnd(this, kChatMenu);
    if (!menu->IsLoaded()) {
        delete menu;
        return;
    }
    menuView_ = view;
    menuPicture_ = chat->PictureAt(e->viewport()->mapFromGlobal(screen));
    menu->SetElementEnabled("Menu_Copy", chat->Control()->HasSelection());
    menu->SetElementEnabled("Menu_SaveAs", !menuPicture_.empty());
    for (const Zoom& z : kZooms) {
        menu->SetElementAttribute(z.menu, "checkimg", kCheckImage);
        menu->SetElementChecked(z.menu, z.quarters == chat->ZoomQuarters());
    }
    menu_ = menu;
    menu->Popup(screen);
}

bool CRoomUI::OpenUserMenu(std::uint32_t userId, QPoint screen) {
    if (menu_) menu_->close();
    auto* menu = new CMenuWnd(this, kUserMenu);
    if (!menu->IsLoaded() || !userMenu_.Prepare(*menu, userId)) {
        delete menu;
        return false;
    }
    menuUser_ = userId;
    menuView_.clear();
    menu_ = menu;
    menu->Popup(screen);
    return true;
}

void CRoomUI::OpenFacePicker(const CControlUI* button) {
    const CFaceTable* faces = actions_.Faces();
    if (!faces || faces->Empty()) return;
    if (!facePicker_) {
        facePicker_ = new CFaceSelDlg(GetHWND(), faces, kFaceContext);
        facePicker_->Create();
    }
    const QRect anchor =
        button ? QRect(button->mapToGlobal(QPoint(0, 0)), button->size()) : QRect(QCursor::pos(), QSize());
    // Opens upwards from the button: the input box is at the bottom.
    facePicker_->ShowAbove(anchor);
}

void CRoomUI::InsertChosenFace(std::uintptr_t context) {
    const CFaceTable* faces = actions_.Faces();
    if (!facePicker_ || context != kFaceContext || !faces || !input_) return;
    const ChosenFace& chosen = facePicker_->Chosen();
    // By its number, as the line will carry it: the box then shows what
    // everyone else will see.
    const FaceEntry* face = chosen.Valid() ? faces->FindById(chosen.id) : nullptr;
    if (!face) return;
    input_->InsertFace(*face);
    if (CControlUI* box = FindControl(kChatInput)) box->setFocus();
}

void CRoomUI::OnMenuChoice(const std::string& element) {
    if (OnMicMenuChoice(element)) return;
    if (userMenu_.OnChoice(element)) return;
    CChatView* chat = FindChat(menuView_);
    if (!chat || !chat->Control()) return;
    CRichEditUI* edit = chat->Control();
    if (element == "Menu_Copy") {
        if (edit->HasSelection()) edit->Edit()->copy();
    } else if (element == "Menu_SelAll") {
        edit->SelectAll();
    } else if (element == "Menu_Clear") {
        chat->Clear();
        if (CChatView* gifts = FindChat("Edit_PrivateChat")) gifts->Clear();
        actions_.ChatCleared();
    } else if (element == "Menu_SaveAs") {
        SaveChatPicture();
    } else if (const int q = ZoomQuartersFor(element)) {
        chat->SetZoomQuarters(q);
    }
}

void CRoomUI::SaveChatPicture() {
    if (menuPicture_.empty() || !savePicture_) return;
    const QString source = QString::fromStdString(menuPicture_);
    // The picture's own format is the default.
    const QByteArray format = QImageReader::imageFormat(source);
    std::string suffix = ".jpg", filter = "图像文件(*.jpg)";
    if (format == "png") suffix = ".png", filter = "图像文件(*.png)";
    else if (format == "gif") suffix = ".gif", filter = "图像文件(*.gif)";
    const std::string suggested = QFileInfo(source).completeBaseName().toStdString() + suffix;
    const std::string target = savePicture_(suggested, filter);
    if (target.empty()) return;
    const QString to = QString::fromStdString(target);
    if (QFileInfo(to).absoluteFilePath() == QFileInfo(source).absoluteFilePath()) return;
    if (QFile::exists(to)) QFile::remove(to);
    if (!QFile::copy(source, to)) {
        ShowTip("图片保存失败");
        log_msg("save picture %s fail\r\n", target.c_str());
    }
}

void CRoomUI::OnEscape() { actions_.CloseWindow(); }

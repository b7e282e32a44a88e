#pragma once
// How the room shows things: by the names of the room window's controls.
// The Qt room window and the headless view both implement it; the room
// logic never knows which one it talks to.

#include <functional>
#include <string>

#include "room/chat_view.h"
#include "room/mic/mic_queue.h"
#include "room/purchases/purchase_view.h"
#include "room/user_list_model.h"

enum class BoxIcon { Info, Error };

class IRoomView {
public:
    virtual ~IRoomView() = default;
    // Named controls. A name the view does not have is ignored.
    virtual void SetText(const std::string& control, const std::string& text) = 0;
    virtual void SetVisible(const std::string& control, bool visible) = 0;
    virtual void SetEnabled(const std::string& control, bool enabled) = 0;
    virtual void SetImage(const std::string& control, const std::string& file) = 0;
    virtual void SetTooltip(const std::string& control, const std::string& text) = 0;
    // A progress bar's fill: `value` of `max`.
    virtual void SetProgress(const std::string& control, int value, int max) {
        (void)control;
        (void)value;
        (void)max;
    }
    // A list control's selected entry; -1 selects none. Never reported back
    // as the user's choice.
    virtual void SetSelection(const std::string& control, int index) {
        (void)control;
        (void)index;
    }

    // The tip label (short status texts, server errors).
    virtual void ShowTip(const std::string& text) = 0;
    // The one-line notice label, in label markup.
    virtual void ShowNotice(const std::string& markup) = 0;
    virtual void MessageBox(const std::string& text, const std::string& caption, BoxIcon icon) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    virtual void ShowWindow(bool shown) = 0;
    // The chat views by name: "Edit_RecvChat", "Edit_VipChat",
    // "Edit_PrivateChat", "Edit_NearChat", and the announcement
    // "Edit_Announcement". Another name gets a view that shows nothing. System lines are rendered by the room
    // (CRoomSession::AppendSystemLine), so every view draws them alike.
    virtual IChatView& ChatView(const std::string& view) = 0;
    virtual void ClearChat(const std::string& view) = 0;
    // Views are not trimmed while the window is minimised.
    virtual bool Minimised() const = 0;
    virtual IRoomShows& Shows() = 0;
    // The icon of the voice clip under `key`, in whichever chat view shows
    // it (playing, or back to still).
    virtual void SetVoiceClipIcon(ChatObjectKey key, const std::string& icon) {
        (void)key;
        (void)icon;
    }
    // A line of state asked for by a typed command ("user: …"); only the
    // headless view prints it.
    virtual void Report(const std::string& kind, const std::string& text) {
        (void)kind;
        (void)text;
    }
    // The anchor's sign prompt ("SignWnd"), centred and top-most. `confirm`
    // runs when the person confirms it there; a close from the room never
    // confirms. A view without the dialog shows nothing.
    virtual void OpenSignDialog(std::function<void()> confirm) { (void)confirm; }
    virtual void CloseSignDialog() {}
    virtual bool SignDialogOpen() const { return false; }
    // The user list control follows the model through this observer.
    virtual IUserListObserver& UserListView() = 0;
    // A catalogue sync of a kind (1 gifts, 4 cars, 6 packs, 7 VIP grades)
    // has written its cached file: the view's panel of that kind reloads.
    virtual void ItemsReady(int kind) { (void)kind; }
    // The purchase dialogs, my lists and the billboards; a view without
    // them shows nothing.
    virtual IPurchaseView& Purchases() {
        static IPurchaseView nowhere;
        return nowhere;
    }
    // The microphone queue's list control ("List_Wheat"); a view without
    // one shows nothing.
    virtual IMicQueueObserver& MicQueueView() {
        static class : public IMicQueueObserver {
            void OnQueueShown(const std::vector<MicQueueLine>&) override {}
            void OnQueueLineChanged(std::size_t, const MicQueueLine&) override {}
        } nowhere;
        return nowhere;
    }
};

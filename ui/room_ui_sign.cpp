// The room window's part of the anchor's clock-in and sign-in: the two
// buttons go to the room's CAnchorSign, and the room opens and closes the
// sign prompt through the view.
#include "room/anchor_sign.h"
#include "ui/room_ui.h"

bool CRoomUI::OnSignClick(const std::string& name) {
    if (name != "bnt_card" && name != "bnt_sign") return false;
    if (CAnchorSign* sign = actions_.AnchorSign()) {
        if (name == "bnt_card") sign->ClockIn();
        else sign->SignIn();
    }
    return true;
}

void CRoomUI::OpenSignDialog(std::function<void()> confirm) {
    if (!sign_) {
        sign_ = new CSignDlg;
        sign_->Create();
    }
    sign_->Prompt(std::move(confirm));
}

void CRoomUI::CloseSignDialog() {
    if (sign_) sign_->Dismiss();
}

bool CRoomUI::SignDialogOpen() const { return sign_ && sign_->IsOpen(); }

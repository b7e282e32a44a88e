#include "ui/role_set_dlg.h"

#include <QMessageBox>

#include "room/markup_text.h"
#include "room/moderation_dialogs.h"

namespace {

const char* const kOptions[] = {"OptionUI1", "OptionUI2", "OptionUI3", "OptionUI4"};

}  // namespace

CRoleSetDlg::CRoleSetDlg(std::string nickname, std::uint32_t userId, std::string roleName)
    : nickname_(std::move(nickname)), userId_(userId), roleName_(std::move(roleName)) {
    box_ = [this](const std::string& text, const std::string& caption) {
        QMessageBox::information(this, QString::fromStdString(caption), QString::fromStdString(text));
    };
}

CRoleSetDlg::~CRoleSetDlg() {
    modal_.Quit();
}

void CRoleSetDlg::InitWindow() {
    SetControlText("TextUI1", markup::PowerGrantPrompt(nickname_, userId_, roleName_));
    // The longest grant is where the dialog starts.
    if (Choice() < 0) SetControlSelected(kOptions[0], true);
}

int CRoleSetDlg::Choice() const {
    for (int i = 0; i < static_cast<int>(std::size(kOptions)); ++i)
        if (IsControlSelected(kOptions[i])) return i;
    return -1;
}

std::optional<std::int64_t> CRoleSetDlg::Confirm() {
    const role_days::Outcome o = role_days::ForChoice(Choice(), GetControlText("EditUI1"));
    if (o.status != role_days::Outcome::Status::ok) {
        if (box_) box_(o.Refusal(), role_days::kBoxCaption);
        return std::nullopt;
    }
    days_ = o.days;
    Close();
    return days_;
}

void CRoleSetDlg::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kClick) {
        if (name == "bnt_ok") Confirm();
        else if (name == "bnt_cancel" || name == "bnt_close") Close();
    } else if (msg.sType == n::kTextChanged && name == "EditUI1") {
        // Typing a number means the typed choice.
        SetControlSelected(kOptions[role_days::kTypedChoice], true);
    } else if (msg.sType == n::kReturn && name == "EditUI1") {
        Confirm();
    }
}

std::optional<std::int64_t> CRoleSetDlg::ShowModal(QWidget* owner) {
    if (!modal_.Run(*this, owner)) return std::nullopt;
    return days_;
}

void CRoleSetDlg::OnFinalMessage() {
    modal_.Quit();
}

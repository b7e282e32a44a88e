#include "ui/kick_reason_dlg.h"

#include <QLineEdit>
#include <QPalette>

#include <iterator>
#include <vector>

#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "room/moderation_dialogs.h"

namespace {

std::string OptionName(int i) { return "Option_" + std::to_string(i); }

}  // namespace

CkickReason::CkickReason(bool kick, std::string nickname, std::uint32_t userId)
    : kick_(kick), nickname_(std::move(nickname)), userId_(userId) {}

CkickReason::~CkickReason() {
    modal_.Quit();
}

void CkickReason::InitWindow() {
    const char* word = kick_reason::OperationWord(kick_);
    setWindowTitle(QString::fromUtf8(word));
    SetControlText("text_title", word);
    SetControlText("LabelTip", kick_reason::Heading(kick_, nickname_, userId_));
    if (auto* edit = FindControl<CEditUI>("edit_other")) {
        edit->Edit()->setPlaceholderText(QString::fromUtf8(kick_reason::kFreeTextPrompt));
        QPalette pal = edit->Edit()->palette();
        pal.setColor(QPalette::PlaceholderText, QColor::fromRgb(kick_reason::kPromptColour));
        edit->Edit()->setPalette(pal);
    }
    if (auto* combo = FindControl<CComboUI>("Combo_time")) {
        combo->RemoveAll();
        for (const auto& d : kick_reason::kDurations) combo->AddItem(d.label);
        combo->SelectItem(0);
    }
    SetControlVisible("Container_kick_time", kick_);
    SetControlVisible("Container_gag_time", !kick_);
    UpdateOk();
}

bool CkickReason::CanConfirm() const {
    bool any = false;
    for (int i = 1; i <= kick_reason::kReasonOptions; ++i) any = any || IsControlSelected(OptionName(i));
    return kick_reason::CanConfirm(any, GetControlText("edit_other"));
}

void CkickReason::UpdateOk() { SetControlEnabled("bnt_ok", CanConfirm()); }

std::optional<CkickReason::Result> CkickReason::Confirm() {
    if (!CanConfirm()) return std::nullopt;
    std::vector<std::string> chosen;
    for (int i = 1; i <= kick_reason::kReasonOptions; ++i)
        if (IsControlSelected(OptionName(i))) chosen.push_back(GetControlText(OptionName(i)));
    Result r;
    r.reason = kick_reason::ComposeReason(chosen, GetControlText("edit_other"));
    if (kick_) {
        const auto* combo = FindControl<CComboUI>("Combo_time");
        r.seconds = kick_reason::DurationSeconds(combo ? combo->GetCurSel() : 0);
        // A skin without the list still kicks, for the shortest time.
        if (r.seconds == 0) r.seconds = kick_reason::kDurations[0].seconds;
    } else {
        r.option = IsControlSelected("Option_gag") ? 1 : 0;
    }
    result_ = r;
    Close();
    return result_;
}

void CkickReason::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    const std::string& name = msg.senderName;
    if (msg.sType == n::kSelectChanged || msg.sType == n::kTextChanged) {
        UpdateOk();
    } else if (msg.sType == n::kClick) {
        if (name == "bnt_ok") Confirm();
        else if (name == "bnt_cancel" || name == "bnt_close") Close();
    }
}

std::optional<CkickReason::Result> CkickReason::ShowModal(QWidget* owner) {
    if (!modal_.Run(*this, owner)) return std::nullopt;
    return result_;
}

void CkickReason::OnFinalMessage() {
    modal_.Quit();
}

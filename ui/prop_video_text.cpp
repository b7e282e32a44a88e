#include "ui/prop_video_text.h"

#include <QLineEdit>

#include <utility>

#include "platform/dui/inputs.h"
#include "ui/offer_view.h"
#include "ui/purchase_texts.h"

CPropVideoText::CPropVideoText() {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

void CPropVideoText::InitWindow() {
    setWindowTitle(QString::fromUtf8(kTitle));
    SetControlText("text_title", kTitle);
    // Every change, typed or pasted, is held to the bound at once; the
    // edit's own limit counts characters, not bytes.
    if (auto* edit = FindControl<CEditUI>("Edit_text"))
        QObject::connect(edit->Edit(), &QLineEdit::textChanged, this, [this] { FitText(); });
}

std::string CPropVideoText::Text() const {
    return purchase_text::FitVideoText(GetControlText("Edit_text"));
}

void CPropVideoText::FitText() {
    const std::string typed = GetControlText("Edit_text");
    const std::string fitted = purchase_text::FitVideoText(typed);
    if (fitted != typed) {
        auto* edit = FindControl<CEditUI>("Edit_text");
        // Re-entered through textChanged; the second pass finds it fitted.
        if (edit) edit->Edit()->setText(QString::fromStdString(fitted));
        return;
    }
    SetControlText("Label_count", std::to_string(fitted.size()) + "/" +
                                      std::to_string(purchase_text::kMaxVideoTextBytes));
    if (!fitted.empty()) SetControlText("Label_hint", "");
}

void CPropVideoText::Prompt(std::function<void(const std::string&)> ok) {
    ok_ = std::move(ok);
    SetControlText("Edit_text", "");
    SetControlText("Label_hint", "");
    FitText();
    CenterWindow();
    offer_view::Present(*this);
    if (CControlUI* edit = FindControl("Edit_text")) edit->setFocus();
}

bool CPropVideoText::Confirm() {
    const std::string text = Text();
    if (text.empty()) {
        SetControlText("Label_hint", kEmpty);
        return false;
    }
    auto ok = std::exchange(ok_, nullptr);
    Close();
    if (ok) ok(text);
    return true;
}

void CPropVideoText::Cancel() {
    ok_ = nullptr;
    Close();
}

void CPropVideoText::Notify(TNotifyUI& msg) {
    namespace n = dui::notify;
    if (msg.sType == n::kReturn && msg.senderName == "Edit_text") {
        Confirm();
    } else if (msg.sType == n::kClick) {
        if (msg.senderName == "bnt_ok")
            Confirm();
        else if (msg.senderName == "bnt_cancel" || msg.senderName == "bnt_close")
            Cancel();
    }
}

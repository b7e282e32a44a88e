#pragma once
// The reason dialog of a kick or a gag ("kickReasonUI.xml"): up to six
// reasons from the skin, a free text, and the kick's duration or the gag's
// option. OK is offered only once there is a reason.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/dui/window.h"
#include "ui/modal_loop.h"

class CkickReason : public WindowImplBase {
public:
    struct Result {
        std::string reason;
        std::uint32_t seconds = 0;  // kick only
        std::uint32_t option = 0;   // gag only: 1 with Option_gag
    };

    CkickReason(bool kick, std::string nickname, std::uint32_t userId);
    ~CkickReason() override;

    std::string GetWindowClassName() const override { return "DuiKickWnd"; }
    std::string GetSkinFile() const override { return "kickReasonUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Shows the dialog modal, centred over `owner`, until OK or cancel;
    // the result on OK.
    std::optional<Result> ShowModal(QWidget* owner);
    // OK: the result, and the dialog closes; nothing while OK is not
    // offered.
    std::optional<Result> Confirm();
    bool CanConfirm() const;
    const std::optional<Result>& result() const { return result_; }

protected:
    void InitWindow() override;
    void OnFinalMessage() override;

private:
    void UpdateOk();

    bool kick_;
    std::string nickname_;
    std::uint32_t userId_;
    std::optional<Result> result_;
    CModalLoop modal_;
};

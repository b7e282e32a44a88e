#pragma once
// The days dialog of a role given to a user ("SetRoleUI.xml"): 6000, 90
// or 30 days, or a typed number of at most 6000. A refused number shows a
// box and keeps the dialog open.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/dui/window.h"
#include "ui/modal_loop.h"

class CRoleSetDlg : public WindowImplBase {
public:
    CRoleSetDlg(std::string nickname, std::uint32_t userId, std::string roleName);
    ~CRoleSetDlg() override;

    std::string GetWindowClassName() const override { return "DuiRoleWnd"; }
    std::string GetSkinFile() const override { return "SetRoleUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Shows the dialog modal, centred over `owner`; the days on OK.
    std::optional<std::int64_t> ShowModal(QWidget* owner);
    // OK: the chosen days and the dialog closes, or the refusal's box.
    std::optional<std::int64_t> Confirm();
    const std::optional<std::int64_t>& result() const { return days_; }

    // Replaceable for tests: the refusal box (text, caption).
    using BoxFn = std::function<void(const std::string& text, const std::string& caption)>;
    void SetMessageBoxHandler(BoxFn f) { box_ = std::move(f); }

protected:
    void InitWindow() override;
    void OnFinalMessage() override;

private:
    int Choice() const;

    std::string nickname_;
    std::uint32_t userId_;
    std::string roleName_;
    std::optional<std::int64_t> days_;
    BoxFn box_;
    CModalLoop modal_;
};

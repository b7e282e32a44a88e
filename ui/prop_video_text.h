#pragma once
// The video-text prop's prompt ("PropVideoTextUI.xml", titled "上视频"):
// one line of at most 128 bytes of UTF-8, with OK and cancel. OK with some
// text closes the prompt and hands the text on; cancel hands nothing.

#include <functional>
#include <string>

#include "platform/dui/window.h"

class CPropVideoText : public WindowImplBase {
public:
    static constexpr const char* kTitle = "上视频";
    static constexpr const char* kEmpty = "请输入要上视频的文字";

    CPropVideoText();

    std::string GetWindowClassName() const override { return "PropVideoUI"; }
    std::string GetSkinFile() const override { return "PropVideoTextUI.xml"; }
    void Notify(TNotifyUI& msg) override;

    // Empty, centred, on top; `ok` runs once with the text on OK.
    void Prompt(std::function<void(const std::string& text)> ok);
    // The text as it would be sent.
    std::string Text() const;
    // OK: false (the prompt stays, saying why) while there is no text.
    bool Confirm();
    void Cancel();
    bool IsOpen() const { return isVisible(); }

protected:
    void InitWindow() override;
    void OnEscape() override { Cancel(); }

private:
    // Holds the edit to the bound as the person types or pastes, and shows
    // the bytes used.
    void FitText();

    std::function<void(const std::string&)> ok_;
};

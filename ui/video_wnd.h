#pragma once
// The room's video area: the skin element "Video" (CVideoContainer) holds
// the picture window CVideoWnd ("VideoWndUI", titled "ROOM_VIDEO") whose
// handle the video library draws to, and the scrolling text CVideoTextUI
// ("VideoTextUI", "ROOM_VIDEOTEXT") along its top.

#include <QImage>
#include <QWidget>

#include <memory>
#include <string>

#include "platform/dui/control.h"
#include "platform/vcast/picture.h"
#include "platform/winmsg/message_target.h"

// A left press in the picture, posted to the room window (x in wParam, y
// in lParam, client coordinates).
inline constexpr unsigned UM_VIDEO_CLICK = 1737;

class CVideoWnd : public QWidget {
public:
    explicit CVideoWnd(QWidget* parent = nullptr);
    ~CVideoWnd() override;

    // The handle pictures are posted to (UM_VCAST_PICTURE).
    HWND Handle() const;
    // Where a left press is told.
    void SetClickTarget(HWND window) { clickTarget_ = window; }
    // The newest picture, as drawn (tests, the screenshot).
    const QImage& Picture() const { return picture_; }
    std::uint64_t picturesShown() const { return shown_; }
    // Back to black (a room change, the anchor left).
    void ClearPicture();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    class CTarget;
    void TakePicture(CPictureMailbox& box);

    std::unique_ptr<CTarget> target_;
    QImage picture_;
    std::uint64_t shown_ = 0;
    HWND clickTarget_ = 0;
};

class CVideoTextUI : public QWidget {
public:
    static constexpr int kHeight = 24;
    static constexpr int kOpacity = 240;  // of 255, over the picture
    static constexpr int kStepPx = 2;     // per tick of 30 ms

    explicit CVideoTextUI(QWidget* parent = nullptr);
    // Starts `text` scrolling in from the right; a running text is replaced.
    void ScrollText(const std::string& text);
    const QString& text() const { return text_; }
    // One step of the scroll (tests step it).
    void Step();

protected:
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent* e) override;

private:
    QString text_;
    int x_ = 0;
    int timer_ = 0;
};

class CVideoContainer : public CControlUI {
public:
    explicit CVideoContainer(QWidget* parent = nullptr);
    std::string_view GetClass() const override { return "Video"; }
    CVideoWnd& VideoWnd() { return *video_; }
    CVideoTextUI& VideoText() { return *text_; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    CVideoWnd* video_;
    CVideoTextUI* text_;
};

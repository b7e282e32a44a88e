#pragma once
// Small controls built on the stock ones: an animated picture player, a
// button with an icon, and a tile layout with a caption.

#include "platform/dui/animated_picture.h"
#include "platform/dui/controls.h"

class CGifControl;

// Told each time an animation wraps around to its first frame.
class IGifSlink {
public:
    virtual ~IGifSlink() = default;
    virtual void OnGifEnd(CGifControl* gif) = 0;
};

// Plays one picture in a loop, drawn over the whole control. Skin
// attributes: "file" (picture in the skin folder or a path), "autoplay".
class CGifControl : public CContainerUI {
public:
    static constexpr unsigned kFrameTimer = 1008;

    using CContainerUI::CContainerUI;
    std::string_view GetClass() const override { return "GifControl"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;

    // Stops, releases the picture, resets the frame and loads the file.
    bool SetFile(const std::string& path);
    const std::string& GetFile() const { return file_; }
    // From frame 0; the frame timer runs only for animated pictures.
    void Play();
    void Stop();
    int CurrentFrame() const { return frame_; }
    // Shows frame n while stopped (an owner stepping the frames itself);
    // a frame the picture does not have is ignored.
    void ShowFrame(int n);
    const AnimatedPicture& Picture() const { return picture_; }
    void SetListener(IGifSlink* listener) { listener_ = listener; }
    void DoTimer(unsigned id) override;

protected:
    void PaintStatusImage(QPainter& p) override;

    AnimatedPicture picture_;
    std::string file_;
    int frame_ = 0;
    bool autoPlay_ = false;
    IGifSlink* listener_ = nullptr;
};

// A button with an extra icon drawn over it ("iconimage"), shifted one
// pixel right and down while pushed. An icon that cannot be drawn is
// dropped.
class CButtonExUI : public CButtonUI {
public:
    using CButtonUI::CButtonUI;
    std::string_view GetClass() const override { return "ButtonExUI"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    void SetIconImage(const std::string& image);
    const std::string& GetIconImage() const { return icon_; }

protected:
    void PaintStatusImage(QPainter& p) override;

    std::string icon_;
};

// A tile layout that draws a one-line caption over its area after its own
// painting: align, endellipsis, font, textcolor, disabledtextcolor
// (hexadecimal, "#" optional), textpadding; other attributes go to the tile
// layout.
class CTextTileUI : public CTileLayoutUI {
public:
    using CTileLayoutUI::CTileLayoutUI;
    std::string_view GetClass() const override { return "TextTile"; }
    bool SetAttribute(std::string_view name, const std::string& value) override;
    QColor TextColor() const;  // the colour for the current state
    QRect CaptionRect() const;

protected:
    void paintEvent(QPaintEvent* e) override;

    unsigned align_ = dui::kAlignLeft | dui::kAlignVCenter;
    bool endEllipsis_ = false;
    int font_ = -1;
    bool hasText_ = false, hasDisabled_ = false;
    std::uint32_t textColor_ = 0, disabledColor_ = 0;
    dui::Rect4 textPadding_;
};

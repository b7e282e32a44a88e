#pragma once
// A chat view of the room window: the room's chat lines rendered into a
// skin RichEdit as rich text, with faces and pictures as inline images
// (animated ones play), placeholders completed when their download ends,
// voice clips as links ("voice:<key>") whose icon can change while the clip
// plays, the 200-line bound and the zoom of
// the view's menu.

#include <QImage>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <string>

#include "platform/dui/animated_picture.h"
#include "platform/dui/inputs.h"
#include "room/chat_view.h"

class QTextCharFormat;
class QTextCursor;
class QTextDocument;
class QTextEdit;
class QTextImageFormat;

class CChatView : public IChatView {
public:
    // Pictures wider than this are shown scaled down (at zoom 100%).
    static constexpr int kMaxPictureWidth = 240;
    static constexpr const char* kVoiceLinkPrefix = "voice:";

    // `edit` may be null (a skin without the view): everything is ignored.
    explicit CChatView(CRichEditUI* edit);
    ~CChatView() override;

    void AppendText(std::string_view run, const ChatTextFormat& format) override;
    void AppendUserName(std::string_view name, std::uint32_t userId, const ChatTextFormat& format) override;
    void AppendFace(const FaceEntry& face) override;
    void AppendImage(const std::string& path) override;
    void AppendPlaceholder(ChatObjectKey key, const std::string& waitingImage) override;
    void ReplacePlaceholder(ChatObjectKey key, const std::string& path) override;
    void FailPlaceholder(ChatObjectKey key) override;
    void AppendVoiceClip(ChatObjectKey key, const std::string& icon) override;
    // Shows `icon` for the voice clip under `key` (animated when the file
    // is); a clip shown as text, or an icon that cannot be read, stays as it was.
    void SetVoiceClipIcon(ChatObjectKey key, const std::string& icon);
    void AppendLineBreak() override;
    std::size_t LineCount() const override;
    void DeleteFirstLines(std::size_t count) override;
    void ScrollToEnd() override;

    void Clear();
    CRichEditUI* Control() const { return edit_; }
    QTextEdit* Editor() const;
    QString PlainText() const;

    // Zoom in quarters, as the menu offers it: 16, 8, 6, 5, 4 (none), 3, 2.
    void SetZoomQuarters(int quarters);
    int ZoomQuarters() const { return zoom_; }

    // The picture file of the image at a viewport point; empty when there
    // is none (text, a placeholder still waiting, a voice icon).
    std::string PictureAt(QPoint viewportPos) const;
    // The user whose name is under a viewport point; 0 when no name is.
    std::uint32_t UserAt(QPoint viewportPos) const;
    // The images the view shows now, by resource name, in document order.
    std::vector<std::string> ImageNames() const;
    // Frames advanced so far by animated pictures (tests).
    int AnimationSteps() const { return steps_; }
    // Advances animations by `ms` as if that much time had passed.
    void StepAnimations(int ms);

private:
    struct Animation {
        AnimatedPicture picture;
        int frame = 0;
        int elapsed = 0;
    };
    QTextCursor EndCursor() const;
    QTextCharFormat TextFormat(const ChatTextFormat& format) const;
    // Registers the picture as a document resource; its natural size.
    QSize AddPicture(const std::string& resourceName, const std::string& file);
    // Its natural size (at most maxWidth wide when > 0) and that at the zoom.
    void SetPictureSize(QTextImageFormat& f, QSize natural, int maxWidth) const;
    void InsertImage(const std::string& resourceName, QSize natural, int maxWidth,
                     const QString& anchor = {});
    // The first image object whose format matches; `at` selects it.
    bool FindImage(const std::function<bool(const QTextCharFormat&)>& match, QTextCursor& at,
                   QTextImageFormat& fmt) const;
    bool FindObject(ChatObjectKey key, QTextCursor& at, QTextImageFormat& fmt) const;
    QTextCursor LastCharacter() const;
    void ApplyZoom();

    QPointer<CRichEditUI> edit_;
    int zoom_ = 4;
    std::map<std::string, Animation> animations_;
    QTimer timer_;
    int steps_ = 0;
};

#include "ui/chat_view.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextImageFormat>

#include <algorithm>
#include <vector>

#include "chat/face_table.h"

namespace {

// Our own format properties: what zooming scales from, and what a picture
// is for the menu's "save as".
constexpr int kBasePointSize = QTextFormat::UserProperty + 1;
constexpr int kNaturalWidth = QTextFormat::UserProperty + 2;
constexpr int kNaturalHeight = QTextFormat::UserProperty + 3;
constexpr int kPictureFile = QTextFormat::UserProperty + 4;
constexpr int kPlaceholderKey = QTextFormat::UserProperty + 5;
constexpr int kUserId = QTextFormat::UserProperty + 6;

constexpr int kAnimationTickMs = 50;
const QColor kFailedColour(0x90, 0x90, 0x90);

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

QString VoiceHref(ChatObjectKey key) {
    return QString(CChatView::kVoiceLinkPrefix) + QString::number(static_cast<qulonglong>(key));
}

}  // namespace

CChatView::CChatView(CRichEditUI* edit) : edit_(edit) {
    timer_.setInterval(kAnimationTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { StepAnimations(kAnimationTickMs); });
}

CChatView::~CChatView() = default;

QTextEdit* CChatView::Editor() const { return edit_ ? edit_->Edit() : nullptr; }

QString CChatView::PlainText() const { return Editor() ? Editor()->toPlainText() : QString(); }

QTextCursor CChatView::LastCharacter() const {
    QTextCursor c = EndCursor();
    const int end = c.position();
    c.setPosition(std::max(0, end - 1));
    c.setPosition(end, QTextCursor::KeepAnchor);
    return c;
}

QTextCursor CChatView::EndCursor() const {
    QTextCursor c(Editor()->document());
    c.movePosition(QTextCursor::End);
    return c;
}

QTextCharFormat CChatView::TextFormat(const ChatTextFormat& format) const {
    QTextCharFormat f;
    const QFont base = Editor()->font();
    double points = format.size > 0 ? format.size
                    : base.pointSizeF() > 0 ? base.pointSizeF()
                                            : base.pixelSize() * 72.0 / 96.0;
    if (points <= 0) points = 9;
    if (!format.face.empty()) f.setFontFamilies({Q(format.face)});
    f.setProperty(kBasePointSize, points);
    f.setFontPointSize(points * zoom_ / 4.0);
    f.setForeground(QColor::fromRgb(static_cast<QRgb>(format.colour & 0xFFFFFF)));
    f.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    return f;
}

void CChatView::AppendText(std::string_view run, const ChatTextFormat& format) {
    if (!Editor() || run.empty()) return;
    EndCursor().insertText(Q(run), TextFormat(format));
}

void CChatView::AppendUserName(std::string_view name, std::uint32_t userId, const ChatTextFormat& format) {
    if (!Editor() || name.empty()) return;
    QTextCharFormat f = TextFormat(format);
    if (userId != 0) f.setProperty(kUserId, static_cast<qulonglong>(userId));
    EndCursor().insertText(Q(name), f);
}

QSize CChatView::AddPicture(const std::string& name, const std::string& file) {
    QTextDocument* doc = Editor()->document();
    const QUrl url(Q(name));
    const QVariant known = doc->resource(QTextDocument::ImageResource, url);
    if (known.isValid()) return known.value<QImage>().size();
    AnimatedPicture pic;
    if (!pic.Load(file)) return {};
    const QImage first = pic.Frame(0);
    doc->addResource(QTextDocument::ImageResource, url, first);
    if (pic.IsAnimated()) {
        Animation& a = animations_[name];
        a.picture = std::move(pic);
        if (!timer_.isActive()) timer_.start();
    }
    return first.size();
}

void CChatView::SetPictureSize(QTextImageFormat& f, QSize natural, int maxWidth) const {
    int w = natural.width(), h = natural.height();
    if (maxWidth > 0 && w > maxWidth) {
        h = std::max(1, h * maxWidth / w);
        w = maxWidth;
    }
    f.setProperty(kNaturalWidth, w);
    f.setProperty(kNaturalHeight, h);
    f.setWidth(w * zoom_ / 4.0);
    f.setHeight(h * zoom_ / 4.0);
}

void CChatView::InsertImage(const std::string& name, QSize natural, int maxWidth, const QString& anchor) {
    QTextImageFormat f;
    f.setName(Q(name));
    SetPictureSize(f, natural, maxWidth);
    if (!anchor.isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(anchor);
    }
    QTextCursor c = EndCursor();
    c.insertImage(f);
}

void CChatView::AppendFace(const FaceEntry& face) {
    if (!Editor()) return;
    const std::string name = "face:" + face.imagePath;
    const QSize size = face.imagePath.empty() ? QSize() : AddPicture(name, face.imagePath);
    if (size.isEmpty()) {
        // A face without its picture still says what it was.
        AppendText(face.text.empty() ? face.tag : face.text, {});
        return;
    }
    InsertImage(name, size, 0);
}

void CChatView::AppendImage(const std::string& path) {
    if (!Editor()) return;
    const std::string name = "pic:" + path;
    const QSize size = AddPicture(name, path);
    if (size.isEmpty()) {
        AppendText("[图片]", {});
        return;
    }
    InsertImage(name, size, kMaxPictureWidth);
    // Mark the object with its file for "save as".
    QTextCursor c = LastCharacter();
    QTextCharFormat f = c.charFormat();
    f.setProperty(kPictureFile, Q(path));
    c.setCharFormat(f);
}

void CChatView::AppendPlaceholder(ChatObjectKey key, const std::string& waitingImage) {
    if (!Editor()) return;
    const std::string name = "wait:" + waitingImage;
    QSize size = AddPicture(name, waitingImage);
    if (size.isEmpty()) {
        AppendText("[图片]", {});
        return;
    }
    InsertImage(name, size, 0);
    QTextCursor c = LastCharacter();
    QTextCharFormat f = c.charFormat();
    f.setProperty(kPlaceholderKey, static_cast<qulonglong>(key));
    c.setCharFormat(f);
}

bool CChatView::FindImage(const std::function<bool(const QTextCharFormat&)>& match, QTextCursor& at,
                          QTextImageFormat& fmt) const {
    QTextDocument* doc = Editor()->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat cf = frag.charFormat();
            if (!cf.isImageFormat() || !match(cf)) continue;
            // A fragment may hold several equal objects; the first is ours.
            at = QTextCursor(doc);
            at.setPosition(frag.position());
            at.setPosition(frag.position() + 1, QTextCursor::KeepAnchor);
            fmt = cf.toImageFormat();
            return true;
        }
    }
    return false;
}

bool CChatView::FindObject(ChatObjectKey key, QTextCursor& at, QTextImageFormat& fmt) const {
    return FindImage([key](const QTextCharFormat& f) {
        return f.hasProperty(kPlaceholderKey) && f.property(kPlaceholderKey).toULongLong() == key;
    }, at, fmt);
}

void CChatView::ReplacePlaceholder(ChatObjectKey key, const std::string& path) {
    if (!Editor()) return;
    QTextCursor at;
    QTextImageFormat old;
    if (!FindObject(key, at, old)) return;
    const std::string name = "pic:" + path;
    const QSize size = AddPicture(name, path);
    if (size.isEmpty()) {
        FailPlaceholder(key);
        return;
    }
    QTextImageFormat f;
    f.setName(Q(name));
    SetPictureSize(f, size, kMaxPictureWidth);
    f.setProperty(kPictureFile, Q(path));
    at.setCharFormat(f);
}

void CChatView::FailPlaceholder(ChatObjectKey key) {
    if (!Editor()) return;
    QTextCursor at;
    QTextImageFormat old;
    if (!FindObject(key, at, old)) return;
    QTextCharFormat f;
    f.setForeground(kFailedColour);
    const double points = 9;
    f.setProperty(kBasePointSize, points);
    f.setFontPointSize(points * zoom_ / 4.0);
    at.removeSelectedText();
    at.insertText("[图片加载失败]", f);
}

void CChatView::AppendVoiceClip(ChatObjectKey key, const std::string& icon) {
    if (!Editor()) return;
    const QString href = VoiceHref(key);
    const std::string name = "icon:" + icon;
    const QSize size = AddPicture(name, icon);
    if (size.isEmpty()) {
        QTextCharFormat f;
        f.setAnchor(true);
        f.setAnchorHref(href);
        f.setForeground(QColor(0x38, 0x99, 0xA7));
        EndCursor().insertText("[语音]", f);
        return;
    }
    InsertImage(name, size, 0, href);
}

void CChatView::SetVoiceClipIcon(ChatObjectKey key, const std::string& icon) {
    if (!Editor()) return;
    QTextCursor at;
    QTextImageFormat f;
    const QString href = VoiceHref(key);
    if (!FindImage([&href](const QTextCharFormat& c) { return c.isAnchor() && c.anchorHref() == href; }, at, f))
        return;
    const std::string name = "icon:" + icon;
    const QSize size = AddPicture(name, icon);
    if (size.isEmpty()) return;
    // The link and its place stay; only the picture and its size change.
    f.setName(Q(name));
    SetPictureSize(f, size, 0);
    at.setCharFormat(f);
}

void CChatView::AppendLineBreak() {
    if (!Editor()) return;
    EndCursor().insertBlock(QTextBlockFormat(), QTextCharFormat());
}

std::size_t CChatView::LineCount() const {
    if (!Editor()) return 0;
    const QTextDocument* doc = Editor()->document();
    int n = doc->blockCount();
    if (doc->lastBlock().length() <= 1) --n;  // the empty line after the last break
    return static_cast<std::size_t>(std::max(0, n));
}

void CChatView::DeleteFirstLines(std::size_t count) {
    if (!Editor() || count == 0) return;
    QTextDocument* doc = Editor()->document();
    if (count >= LineCount()) {
        doc->clear();
        return;
    }
    QTextCursor c(doc);
    c.setPosition(0);
    c.setPosition(doc->findBlockByNumber(static_cast<int>(count)).position(), QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void CChatView::ScrollToEnd() {
    if (!Editor()) return;
    QScrollBar* bar = Editor()->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void CChatView::Clear() {
    if (!Editor()) return;
    Editor()->clear();
    animations_.clear();
    timer_.stop();
}

void CChatView::StepAnimations(int ms) {
    if (!Editor()) return;
    QTextDocument* doc = Editor()->document();
    bool changed = false;
    for (auto& [name, a] : animations_) {
        a.elapsed += ms;
        bool moved = false;
        for (int delay = a.picture.FrameDelay(a.frame); delay > 0 && a.elapsed >= delay;
             delay = a.picture.FrameDelay(a.frame)) {
            a.elapsed -= delay;
            a.frame = (a.frame + 1) % a.picture.FrameCount();
            moved = true;
        }
        if (!moved) continue;
        doc->addResource(QTextDocument::ImageResource, QUrl(Q(name)), a.picture.Frame(a.frame));
        changed = true;
        ++steps_;
    }
    if (changed) Editor()->viewport()->update();
}

void CChatView::SetZoomQuarters(int quarters) {
    quarters = std::clamp(quarters, 1, 16);
    if (quarters == zoom_) return;
    zoom_ = quarters;
    ApplyZoom();
}

void CChatView::ApplyZoom() {
    if (!Editor()) return;
    QTextDocument* doc = Editor()->document();
    struct Change {
        int pos, len;
        QTextCharFormat fmt;
    };
    std::vector<Change> changes;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            QTextCharFormat f = frag.charFormat();
            if (f.isImageFormat()) {
                QTextImageFormat img = f.toImageFormat();
                img.setWidth(f.property(kNaturalWidth).toInt() * zoom_ / 4.0);
                img.setHeight(f.property(kNaturalHeight).toInt() * zoom_ / 4.0);
                changes.push_back({frag.position(), frag.length(), img});
            } else if (f.hasProperty(kBasePointSize)) {
                f.setFontPointSize(f.property(kBasePointSize).toDouble() * zoom_ / 4.0);
                changes.push_back({frag.position(), frag.length(), f});
            }
        }
    }
    for (const Change& ch : changes) {
        QTextCursor c(doc);
        c.setPosition(ch.pos);
        c.setPosition(ch.pos + ch.len, QTextCursor::KeepAnchor);
        c.setCharFormat(ch.fmt);
    }
}

std::string CChatView::PictureAt(QPoint viewportPos) const {
    QTextEdit* e = Editor();
    if (!e) return {};
    const QPoint docPos = viewportPos + QPoint(e->horizontalScrollBar()->value(), e->verticalScrollBar()->value());
    const int pos = e->document()->documentLayout()->hitTest(docPos, Qt::ExactHit);
    if (pos < 0) return {};
    // The hit may land on either side of the object.
    for (int p : {pos, pos - 1}) {
        if (p < 0) continue;
        QTextCursor c(e->document());
        c.setPosition(p);
        c.setPosition(p + 1, QTextCursor::KeepAnchor);
        if (c.selectedText() != QString(QChar::ObjectReplacementCharacter)) continue;
        // The format of a selection is the one of its last character.
        const QTextCharFormat f = c.charFormat();
        if (f.isImageFormat() && f.hasProperty(kPictureFile))
            return f.property(kPictureFile).toString().toStdString();
    }
    return {};
}

std::uint32_t CChatView::UserAt(QPoint viewportPos) const {
    QTextEdit* e = Editor();
    if (!e) return 0;
    QTextDocument* doc = e->document();
    const QPoint docPos = viewportPos + QPoint(e->horizontalScrollBar()->value(), e->verticalScrollBar()->value());
    const int edge = doc->documentLayout()->hitTest(docPos, Qt::ExactHit);
    if (edge < 0) return 0;
    // The hit is the character edge nearest the point: the character under
    // the point follows it when the point lies right of the edge.
    QTextCursor at(doc);
    at.setPosition(edge);
    const int pos = viewportPos.x() >= e->cursorRect(at).x() ? edge : edge - 1;
    if (pos < 0 || pos + 1 >= doc->characterCount()) return 0;
    QTextCursor c(doc);
    c.setPosition(pos);
    c.setPosition(pos + 1, QTextCursor::KeepAnchor);
    const QTextCharFormat f = c.charFormat();
    return f.hasProperty(kUserId) ? static_cast<std::uint32_t>(f.property(kUserId).toULongLong()) : 0;
}

std::vector<std::string> CChatView::ImageNames() const {
    std::vector<std::string> out;
    if (!Editor()) return out;
    QTextDocument* doc = Editor()->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat()) continue;
            for (int i = 0; i < it.fragment().length(); ++i)
                out.push_back(f.toImageFormat().name().toStdString());
        }
    return out;
}

#include "ui/chat_input_box.h"

#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextImageFormat>

#include "chat/face_table.h"

namespace {
constexpr int kFaceId = QTextFormat::UserProperty + 11;
constexpr int kPicturePath = QTextFormat::UserProperty + 12;
// Pictures in the box are previews; the file itself is what is sent.
constexpr int kPreviewHeight = 48;

bool InsertObject(QTextEdit* e, const std::string& file, int property, const QVariant& value, int maxHeight) {
    const QString path = QString::fromStdString(file);
    QImage img(path);
    if (img.isNull()) return false;
    const QString name = "input:" + path;
    e->document()->addResource(QTextDocument::ImageResource, QUrl(name), img);
    QTextImageFormat f;
    f.setName(name);
    int w = img.width(), h = img.height();
    if (maxHeight > 0 && h > maxHeight) {
        w = std::max(1, w * maxHeight / h);
        h = maxHeight;
    }
    f.setWidth(w);
    f.setHeight(h);
    f.setProperty(property, value);
    e->textCursor().insertImage(f);
    e->setFocus();
    return true;
}
}  // namespace

std::vector<ChatInputPiece> CChatInputBox::Pieces() const {
    std::vector<ChatInputPiece> out;
    if (!edit_) return out;
    auto addText = [&out](const QString& t) {
        if (t.isEmpty()) return;
        if (!out.empty() && out.back().kind == ChatInputPiece::Kind::Text) {
            out.back().text += t.toStdString();
            return;
        }
        ChatInputPiece p;
        p.text = t.toStdString();
        out.push_back(std::move(p));
    };
    const QTextDocument* doc = edit_->Edit()->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b != doc->begin()) addText("\n");
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QTextCharFormat f = frag.charFormat();
            if (!f.isImageFormat()) {
                addText(frag.text());
                continue;
            }
            // One piece per object even when equal objects share a fragment.
            for (int i = 0; i < frag.length(); ++i) {
                ChatInputPiece p;
                if (f.hasProperty(kFaceId)) {
                    p.kind = ChatInputPiece::Kind::Face;
                    p.face = f.property(kFaceId).toInt();
                } else if (f.hasProperty(kPicturePath)) {
                    p.kind = ChatInputPiece::Kind::Picture;
                    p.path = f.property(kPicturePath).toString().toStdString();
                } else {
                    p.kind = ChatInputPiece::Kind::Foreign;
                }
                out.push_back(std::move(p));
            }
        }
    }
    return out;
}

bool CChatInputBox::InsertFace(const FaceEntry& face) {
    if (!edit_ || face.imagePath.empty()) return false;
    return InsertObject(edit_->Edit(), face.imagePath, kFaceId, face.id, 0);
}

bool CChatInputBox::InsertPicture(const std::string& path) {
    if (!edit_) return false;
    return InsertObject(edit_->Edit(), path, kPicturePath, QString::fromStdString(path), kPreviewHeight);
}

void CChatInputBox::Clear() {
    if (edit_) edit_->Edit()->clear();
}

bool CChatInputBox::Empty() const { return !edit_ || edit_->Edit()->document()->isEmpty(); }

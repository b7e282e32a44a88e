#pragma once
// The room's input box as the chat encoder sees it: typed text, and faces
// and pictures held in the box as image objects (a face knows its number,
// a picture its file), read back in the order they appear.

#include <QPointer>

#include <string>

#include "chat/chat_input.h"
#include "platform/dui/inputs.h"

struct FaceEntry;

class CChatInputBox : public IChatInput {
public:
    explicit CChatInputBox(CRichEditUI* edit) : edit_(edit) {}

    std::vector<ChatInputPiece> Pieces() const override;

    // At the caret; false when the picture cannot be shown.
    bool InsertFace(const FaceEntry& face);
    bool InsertPicture(const std::string& path);
    void Clear();
    bool Empty() const;

private:
    QPointer<CRichEditUI> edit_;
};

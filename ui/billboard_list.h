#pragma once
// A wealth billboard of the room window (skin class "BillboardList"): one
// line per entry from the template "RoomUserBillboard_Item.xml": the
// 1-based place on "bntvip" (the first three stand out), the medal on
// "bntgrade", the nickname on "labelname" and the grade text, in the
// grade's colour, on "labelgrade". Texts from the server are shown as plain
// text, never as markup.

#include <string>
#include <vector>

#include "platform/dui/list.h"
#include "room/purchases/purchase_view.h"

class CUserBillboardList : public CListUI {
public:
    static constexpr int kLineHeight = 26;
    static constexpr const char* kTemplate = "RoomUserBillboard_Item.xml";

    std::string_view GetClass() const override { return "BillboardList"; }

    // Replaces every line; lines the template cannot make are left out.
    void SetLines(const std::vector<purchase::BillboardLine>& lines);
    void RemoveAll() override;
    // nullptr outside the list.
    const purchase::BillboardLine* LineAt(int index) const;

private:
    bool AddLine(const purchase::BillboardLine& line);

    std::vector<purchase::BillboardLine> lines_;
};

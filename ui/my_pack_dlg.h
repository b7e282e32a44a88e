#pragma once
// My pack ("MyPackDlg.xml", opened by bnt_prop): what the pack holds, each
// entry with its count and a use button ("bnt_use", tiles from
// "MyPackItem.xml"). Using one posts UM_USE_PROP (entry id) to the room
// window; the room decides what the prop does.

#include <vector>

#include "core/message.h"
#include "platform/dui/window.h"
#include "room/purchases/purchase_view.h"
#include "ui/purchase_tiles.h"

class CMyPackList : public CPurchaseTiles {
public:
    using CPurchaseTiles::CPurchaseTiles;
    std::string_view GetClass() const override { return "MyPackList"; }

    // Entries with nothing left are shown, their button disabled.
    void SetEntries(const std::vector<purchase::PackLine>& pack);
    const purchase::PackLine* EntryAt(int index) const;
    int Count() const { return static_cast<int>(entries_.size()); }

private:
    std::vector<purchase::PackLine> entries_;
};

class CMyPackDlg : public WindowImplBase {
public:
    explicit CMyPackDlg(HWND owner);

    std::string GetWindowClassName() const override { return "MyPackUI"; }
    std::string GetSkinFile() const override { return "MyPackDlg.xml"; }
    CControlUI* CreateControl(std::string_view name) override;
    void Notify(TNotifyUI& msg) override;

    void Open();
    void ShowPack(const std::vector<purchase::PackLine>& pack);
    CMyPackList* List() const { return list_; }
    // A tile's use button, as a click on it does: true when it posted.
    bool Use(CControlUI* button);

protected:
    void InitWindow() override;

private:
    HWND owner_;
    CMyPackList* list_ = nullptr;
};

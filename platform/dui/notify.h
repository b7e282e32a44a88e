#pragma once
// Notifications of the skinned windows: every control event reaches the
// window's notify handler as a type and the sender control's name.

#include <QPoint>

#include <cstdint>
#include <string>
#include <string_view>

class CControlUI;

namespace dui::notify {
inline constexpr char kWindowInit[] = "windowinit";      // the window's layout is ready
inline constexpr char kClick[] = "click";                // button, option, check box
inline constexpr char kSelectChanged[] = "selectchanged";  // option or check box state
inline constexpr char kItemSelect[] = "itemselect";      // list/combo: wParam new index, lParam old
inline constexpr char kItemClick[] = "itemclick";        // list: wParam item index
inline constexpr char kItemRClick[] = "itemrclick";      // list right-click: wParam item index
inline constexpr char kItemActivate[] = "itemactivate";  // list double-click: wParam item index
inline constexpr char kTextChanged[] = "textchanged";    // edit or rich edit, typed by the user
inline constexpr char kValueChanged[] = "valuechanged";  // slider: wParam value
inline constexpr char kDropDown[] = "dropdown";          // combo opens its list
inline constexpr char kTimer[] = "timer";                // a control timer: wParam id
inline constexpr char kMenu[] = "menu";                  // right-click on a control with menu="true"
inline constexpr char kReturn[] = "return";              // Enter in an edit (or rich edit without wantreturn)
inline constexpr char kKillFocus[] = "killfocus";
inline constexpr char kSetFocus[] = "setfocus";
inline constexpr char kLink[] = "link";                  // a link in a rich edit: the link text in `text`
inline constexpr char kEndPage[] = "endpage";            // a list scrolled to its end
inline constexpr char kTabSelect[] = "tabselect";        // tab layout: wParam new index, lParam old
inline constexpr char kMenuMsg[] = "menu_msg";           // menu choice: sender is the element
}  // namespace dui::notify

struct TNotifyUI {
    std::string sType;
    std::string senderName;     // the sender's name (empty for unnamed controls)
    CControlUI* pSender = nullptr;  // valid during the call only
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    QPoint ptMouse;             // screen position, for "menu" and the item clicks
    std::string text;           // extra text ("link")
};

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Asked for every element name the builder does not make itself; the name
// comes lower-cased. Returns a new control or nullptr (the element is skipped).
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(std::string_view lowerName) = 0;
};

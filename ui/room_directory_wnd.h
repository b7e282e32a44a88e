#pragma once
// The room directory ("RoomDirectoryUI.xml"): the window a signed-in user
// starts from and comes back to after leaving a room. It lists the
// server's rooms with their live people counts (searchable, page by page),
// the user's favourites and recent rooms, and enters a room by its id.
// Choosing a room hands its id to `enter` (the account library's "enter
// room"); closing the window, or "退出", hands over to `quit`.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/buddy/buddy.h"
#include "platform/dui/window.h"
#include "room/room_directory.h"
#include "ui/room_history.h"

// Answers of the HTTP helper to this window (our own numbers).
enum : unsigned {
    UM_DIRECTORY_PAGE = 2101,  // a page of the directory
    UM_DIRECTORY_KEPT = 2102,  // live state of the favourites or recent rooms
    UM_DIRECTORY_LOGO = 2103,  // a room's logo downloaded (lParam the room id)
};

class CRoomDirectoryWnd : public WindowImplBase {
public:
    enum class Tab { all, favourites, recent };

    struct Setup {
        std::string servicesHost;  // "host:port" of GET /rooms
        BUDDY_HANDLE buddy = nullptr;
        std::string logoFolder;    // where downloaded logos are kept (empty: none)
        std::string me;            // shown under the title
        std::function<void(std::uint32_t room)> enter;
        std::function<void()> quit;
    };

    explicit CRoomDirectoryWnd(Setup setup);

    std::string GetWindowClassName() const override { return "RoomDirectoryUI"; }
    std::string GetSkinFile() const override { return "RoomDirectoryUI.xml"; }
    CControlUI* CreateControl(std::string_view name) override;
    void Notify(TNotifyUI& msg) override;

    // Shows the window (centred the first time) with the reason of the last
    // leave, or none, and asks for fresh counts.
    void ShowDirectory(const std::string& reason = {});
    void SelectTab(Tab tab);
    // Asks the server again for what the current tab shows.
    void Refresh();
    // All rooms whose name or id holds the search box's text.
    void Search();
    // Enters the room typed in the id box; false (and why, in the status
    // line) when it is not a room id.
    bool EnterTyped();
    void EnterRoom(std::uint32_t room);

    Tab tab() const { return tab_; }
    rooms::CRoomsUI* List() const { return list_; }
    const std::vector<rooms::RoomLine>& lines() const { return lines_; }
    std::string Status() const { return GetControlText("Label_status"); }

protected:
    void InitWindow() override;
    std::intptr_t HandleMessage(const WindowMessage& m) override;
    void OnTimer(unsigned id) override;
    void OnEscape() override {}  // Escape must not quit the program
    bool OnSystemClose() override;

private:
    static constexpr unsigned kRefreshTimer = 1;
    static constexpr unsigned kRefreshMs = 30000;

    void Show(std::vector<rooms::RoomLine> lines);
    void SetStatus(const std::string& text);
    void OnPage(const WindowMessage& m);
    void OnKept(const WindowMessage& m);
    void FetchLogos();
    void Quit();

    Setup setup_;
    rooms::CRoomsUI* list_ = nullptr;
    Tab tab_ = Tab::all;
    std::string search_;
    int page_ = 1;
    std::uint32_t total_ = 0;
    std::uint64_t asked_ = 0;  // answers to older questions are dropped
    std::vector<rooms::RoomLine> lines_;
    std::vector<std::uint32_t> logosAsked_;
    bool centred_ = false;
};

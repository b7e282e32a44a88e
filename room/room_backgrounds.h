#pragma once
// The room's background pictures, as the room-settings dialog keeps them:
// the list the picture service sends (each picture fetched into my picture
// folder), an upload of one picture at a time with at most five in the room,
// deleting one, and the pages of the room's clothing list. The dialog draws
// what this keeps; the file chooser, the scaling and the message boxes are
// handed in, so this stays free of windows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "room/chat_transfers.h"

struct KitlibAnswer;

namespace room_backgrounds {
// Answers of the picture service to the dialog.
enum : unsigned {
    UM_BACKGROUND_LIST = 2817,     // sealed: tag-1 items with the id and the picture's URL
    UM_BACKGROUND_DELETED = 2818,  // sealed
    UM_BACKGROUND_SAVED = 2819,    // plain: the uploaded picture's id and name
    UM_CLOTHING_PAGE = 2820,       // sealed
    UM_BACKGROUND_FETCHED = 2821,  // a listed picture was downloaded
};
inline constexpr std::size_t kMaxPictures = 5;
inline constexpr int kWidth = 320;
inline constexpr int kHeight = 240;

// The upload's body: the room id as 4 bytes, least significant first, then
// the picture file.
std::vector<std::uint8_t> UploadBody(std::uint32_t roomId, const std::string& picture);
}  // namespace room_backgrounds

struct BackgroundsSetup {
    IHttpStarter* http = nullptr;
    std::uint32_t userId = 0;
    std::uint32_t roomId = 0;
    // The file chooser: its title and filter; empty when the person cancelled.
    std::function<std::string(const std::string& title, const std::string& filter)> choose;
    // Scales a picture file into another (PICTOOL_ImageZoom); 0 when done.
    std::function<int(const std::string& from, const std::string& to, int width, int height)> zoom;
    // A message box: text, caption.
    std::function<void(const std::string& text, const std::string& caption)> box;
    // The pictures or the clothing list changed.
    std::function<void()> changed;
};

class CRoomBackgrounds {
public:
    struct Picture {
        std::uint32_t id = 0;
        std::string url;   // listed pictures
        std::string file;  // the local copy
        bool present = false;  // the local copy is there
    };
    struct ClothingItem {
        std::uint32_t id = 0;
        std::string text;
    };
    enum class Upload {
        sent,
        too_many,    // five already: box "上传图片不能超过5张"
        pending,     // another upload waits for its answer: box "等待上传完成"
        cancelled,   // nothing chosen
        wrong_type,  // neither .jpg nor .bmp
        unreadable,  // not a picture, or the copy could not be made
        not_started, // the request could not be started
    };

    explicit CRoomBackgrounds(BackgroundsSetup setup);

    // Choose, scale, copy and send one picture.
    Upload Add();
    // False when it could not be started or another delete waits.
    bool Delete(std::uint32_t pictureId);
    // False when it could not be started or another page is loading.
    bool RequestClothing(int page);
    // One of the five answers above (null: the request failed); false for
    // any other message.
    bool OnAnswer(unsigned message, const KitlibAnswer* answer);

    const std::vector<Picture>& pictures() const { return pictures_; }
    const std::vector<ClothingItem>& clothing() const { return clothing_; }
    bool uploading() const { return !pending_.empty(); }
    const std::string& pendingFile() const { return pending_; }
    bool clothingLoading() const { return clothingLoading_; }

private:
    std::string ServiceBase() const;
    std::string ImageFolder() const;
    void Box(const std::string& text);
    void Changed();
    void OnSaved(const KitlibAnswer* answer);
    void OnList(const KitlibAnswer* answer);
    void OnDeleted(const KitlibAnswer* answer);
    void OnClothing(const KitlibAnswer* answer);
    void OnFetched(const KitlibAnswer* answer);

    BackgroundsSetup setup_;
    std::vector<Picture> pictures_;
    std::vector<ClothingItem> clothing_;
    std::string pending_;
    std::optional<std::uint32_t> deleting_;
    bool clothingLoading_ = false;
};

#pragma once
// Stored pictures of the chat views: each picture is downloaded once into
// the user's image folder, however many lines or views show it; the lines
// that arrive meanwhile wait on the same download.

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "chat/chat_sink.h"

class IPictureFetcher {
public:
    virtual ~IPictureFetcher() = default;
    // Starts the download of `source` (a picture-service file id, or an
    // http:// or https:// URL) into `destination`, replacing the file
    // atomically. The room reports the end through CChatPictures::OnFetched
    // on the UI thread. False when the download could not be started.
    virtual bool Fetch(const std::string& source, const std::string& destination) = 0;
};

// True for sources that are a URL rather than a file id.
bool IsPictureUrl(std::string_view source);

class CChatPictures {
public:
    // imageFolder: where received pictures are kept (the user's "Image/").
    CChatPictures(IPictureFetcher& fetcher, std::string imageFolder);

    // Shows the picture in the view: at once when its file is here, else as
    // a placeholder that the one download of that source completes.
    void Show(IChatSink& view, std::string_view source, const std::string& waitingImage);

    // The download of `source` ended. A success whose file is missing counts
    // as a failure. Unknown sources are ignored.
    void OnFetched(std::string_view source, bool ok);

    // A view is going away: its placeholders are no longer completed.
    void ForgetView(const IChatSink& view);
    // The views were emptied: nothing waits any more.
    void Clear();

    // The local file of a source: a plain file id keeps its name, anything
    // else (URLs, odd characters, long ids) gets a name made from its hash,
    // so a name from the network never becomes a path of its own.
    std::string DestinationFor(std::string_view source) const;

    std::size_t PendingDownloads() const { return pending_.size(); }

private:
    struct Waiting {
        IChatSink* view;
        ChatObjectKey key;
    };

    IPictureFetcher& fetcher_;
    std::string folder_;
    std::map<std::string, std::vector<Waiting>, std::less<>> pending_;
    ChatObjectKey next_ = 1;
};

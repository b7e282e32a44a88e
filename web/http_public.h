#pragma once
// File naming for the classes that fetch service data and store pictures,
// sounds and animations in cache folders. A name taken from a URL goes
// through paths::UrlFileName only: "/", "..", backslashes and NUL never
// name a file or leave the folder, and a URL that leaves no usable name
// gives an empty name, which callers skip.

#include <string>
#include <string_view>

namespace web {

class DownloadCancel;

// Completion of an asynchronous download, called once on the connection
// library's thread.
class down_sink {
public:
    virtual ~down_sink() = default;
    virtual void on_down_fail() = 0;
    virtual void on_down_ok() = 0;
};

class CHttpPublic {
public:
    // Fetches `url` into `path` (the final name only when whole). Without a
    // sink: waits up to 300 s (then aborts, 20 s grace) and returns 1 on
    // success, 0 otherwise; a `cancel` tripped by another thread ends the
    // wait at once with 0 (web/http_down.h). With a sink: 1 when started
    // (the sink then hears exactly once), 0 when not.
    static int Download(const std::string& url, const std::string& path, down_sink* sink = nullptr,
                        DownloadCancel* cancel = nullptr);

    // The last path part of `url`, safe as a file name; empty when unusable.
    static std::string UrlFileName(std::string_view url);

    // True when `name` is a usable file name (what UrlFileName could give)
    // and folder + name is an existing regular file.
    static bool FileInFolder(const std::string& folder, std::string_view name);

    // folder + UrlFileName(url); empty when the URL names no usable file.
    static std::string FileForUrl(const std::string& folder, std::string_view url);
};

}  // namespace web

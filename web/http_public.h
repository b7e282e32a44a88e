#pragma once
// File naming for the classes that fetch service data and store pictures,
// sounds and animations in cache folders. A name taken from a URL goes
// through paths::UrlFileName only: "/", "..", backslashes and NUL never
// name a file or leave the folder, and a URL that leaves no usable name
// gives an empty name, which callers skip.

#include <string>
#include <string_view>

namespace web {

class CHttpPublic {
public:
    // The last path part of `url`, safe as a file name; empty when unusable.
    static std::string UrlFileName(std::string_view url);

    // True when `name` is a usable file name (what UrlFileName could give)
    // and folder + name is an existing regular file.
    static bool FileInFolder(const std::string& folder, std::string_view name);

    // folder + UrlFileName(url); empty when the URL names no usable file.
    static std::string FileForUrl(const std::string& folder, std::string_view url);
};

}  // namespace web

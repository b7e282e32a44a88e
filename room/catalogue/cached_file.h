#pragma once
// Whether a file already in a cache folder can stand for its URL. The
// catalogue service names pictures by the SHA-256 of their content, so a
// truncated or damaged copy of such a file is found and fetched again.

#include <optional>
#include <string>
#include <string_view>

namespace catalogue {

// The 64 lower-case hex digits of a name "<digest>.<ext>" (or "<digest>"),
// in lower case; nothing when the name is not digest-named.
std::optional<std::string> DigestOfName(std::string_view name);

// Lower-case hex SHA-256 of the file's content; nothing when unreadable.
std::optional<std::string> FileDigest(const std::string& path);

// A regular, non-empty file whose content, when its name is a digest,
// matches it, and which, when a BMP, is as long as its header says. Every
// picture cache (catalogues, vests, medals) asks this one question.
bool CachedFileGood(const std::string& path, std::string_view name);

}  // namespace catalogue

#pragma once
// Percent-encoding of URL query values: everything but the unreserved
// characters (letters, digits, "-", ".", "_", "~") becomes %XX, so blanks,
// "&", "#" and non-ASCII text reach a service as they are.

#include <string>
#include <string_view>

namespace url {

std::string PercentEncode(std::string_view s);

}  // namespace url

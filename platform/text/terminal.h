#pragma once
// Text that a terminal will read. Whatever the headless client prints may
// come from another user, and a terminal acts on control bytes (cursor moves,
// screen clears, title changes), so they are shown, never passed on.

#include <string>
#include <string_view>

namespace text {

// The UTF-8 text with malformed sequences as U+FFFD and every control
// character except tab (C0, DEL and the C1 range U+0080-U+009F) written as
// "\xNN" with its code in two lower-case hex digits. Line breaks are
// controls too: callers that mean to fold lines do so before.
std::string ForTerminal(std::string_view utf8);

}  // namespace text

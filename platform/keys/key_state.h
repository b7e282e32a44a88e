#pragma once
// Whether a key is held down, by its virtual-key number (the numbering the
// settings store: 113 is F2). The talk key is polled through it, so the room
// never needs to know how the desktop reports keys.

#include <string>

class IKeyState {
public:
    virtual ~IKeyState() = default;
    virtual bool IsDown(unsigned virtualKey) const = 0;
};

namespace keys {
inline constexpr unsigned kDefaultTalkKey = 113;  // F2

// The name shown on the talk button ("F2", "A", "Space"); "#N" for a key
// without one.
std::string KeyName(unsigned virtualKey);
}  // namespace keys

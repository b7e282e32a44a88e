#include "platform/keys/key_state.h"

namespace keys {

std::string KeyName(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk));
    if (vk >= '0' && vk <= '9') return std::string(1, static_cast<char>(vk));
    if (vk >= 112 && vk <= 135) return "F" + std::to_string(vk - 111);
    if (vk >= 96 && vk <= 105) return "Num " + std::to_string(vk - 96);
    switch (vk) {
        case 8: return "Backspace";
        case 9: return "Tab";
        case 13: return "Enter";
        case 16: return "Shift";
        case 17: return "Ctrl";
        case 18: return "Alt";
        case 19: return "Pause";
        case 20: return "Caps Lock";
        case 27: return "Esc";
        case 32: return "Space";
        case 33: return "Page Up";
        case 34: return "Page Down";
        case 35: return "End";
        case 36: return "Home";
        case 37: return "Left";
        case 38: return "Up";
        case 39: return "Right";
        case 40: return "Down";
        case 45: return "Insert";
        case 46: return "Delete";
        case 192: return "`";
        default: return "#" + std::to_string(vk);
    }
}

}  // namespace keys

#pragma once
// The packet record exchanged with the connection library: a command id and
// a body that the record does not own. A record handed to a sink is valid
// only during the call.

#include <cstdint>

struct pkinfo {
    std::uint32_t cmd = 0;
    unsigned char reserved[9] = {};  // always zero, never read
    std::uint32_t length = 0;        // body length
    unsigned char* body = nullptr;
};

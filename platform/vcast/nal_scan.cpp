#include "platform/vcast/nal_scan.h"

namespace vcast_nal {
namespace {
// Calls f(header byte) for each NAL unit after a 00 00 01 start code.
template <class F>
void ForEachNal(const std::uint8_t* data, std::size_t length, F f) {
    if (!data) return;
    for (std::size_t i = 0; i + 3 < length; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            f(data[i + 3]);
            i += 2;
        }
    }
}
}  // namespace

bool IsReferenced(const std::uint8_t* data, std::size_t length) {
    bool slices = false, referenced = false;
    ForEachNal(data, length, [&](std::uint8_t h) {
        const int type = h & 31;
        if (type >= 1 && type <= 5) {
            slices = true;
            if ((h >> 5) & 3) referenced = true;
        }
    });
    return !slices || referenced;
}

bool IsSelfContainedKey(const std::uint8_t* data, std::size_t length) {
    bool sps = false, pps = false, idr = false;
    ForEachNal(data, length, [&](std::uint8_t h) {
        switch (h & 31) {
            case 7: sps = true; break;
            case 8: pps = pps || sps; break;
            case 5: idr = idr || pps; break;
            default: break;
        }
    });
    return idr;
}
}  // namespace vcast_nal

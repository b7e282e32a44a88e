#pragma once
// What the network layer needs to know about an Annex B access unit without
// decoding it.

#include <cstddef>
#include <cstdint>

namespace vcast_nal {
// True unless every slice in `data` has nal_ref_idc 0, i.e. no later frame
// can reference this one; a unit without slices counts as referenced.
bool IsReferenced(const std::uint8_t* data, std::size_t length);
// True when the unit holds an IDR slice (type 5) preceded by SPS (7) and PPS (8).
bool IsSelfContainedKey(const std::uint8_t* data, std::size_t length);
}  // namespace vcast_nal

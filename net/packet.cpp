#include "net/packet.h"

packet_ptr make_packet(std::uint32_t command, const TLV::body& body) {
    const std::size_t length = body.encoded_size();
    if (length > UINT32_MAX) return {};
    unsigned char* bytes = nullptr;
    if (length > 0) {
        // Copied straight from the chunks: no joined intermediate buffer.
        bytes = static_cast<unsigned char*>(std::malloc(length));
        if (!bytes) return {};
        body.copy_to(bytes);
    }
    return packet_ptr(zpacket<pkinfo>::adopt(command, bytes, static_cast<std::uint32_t>(length)));
}

#include "platform/relayhub/frame.h"
#include "server/relay_session.h"

namespace server {

std::shared_ptr<const CSharedPacket> CSharedPacket::Make(std::uint8_t channel,
                                                         std::uint32_t command,
                                                         std::string_view body) {
    if (body.size() > relay::kMaxFramePayload) return nullptr;
    std::string frame = relay::EncodeFrame(relay::kFramePacket, channel, command, body);
    const std::size_t header = frame.size() - body.size();
    return std::shared_ptr<const CSharedPacket>(
        new CSharedPacket(channel, command, std::move(frame), header));
}

}  // namespace server

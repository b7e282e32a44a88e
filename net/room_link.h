#pragma once
// The narrow link the room sends through: the chat channel and the two
// services of the audio/video connection. Each call makes the packet, hands
// it to the connection (which copies it) and releases it.

#include <cstdint>
#include <mutex>

#include "net/fields.h"
#include "net/tlv.h"
#include "platform/relayhub/relayhub.h"

class IRoomLink {
public:
    virtual ~IRoomLink() = default;
    // False when the channel does not exist, is down or its queue is full.
    virtual bool sendChat(std::uint32_t command, const TLV::body& body) = 0;
    virtual bool sendVideoService(std::uint32_t command, const TLV::body& body) = 0;
    virtual bool sendMediaServer(std::uint32_t command, const TLV::body& body) = 0;
    // Traffic since the previous call, over every connection, and the chat
    // connection's heartbeat round trip in milliseconds.
    virtual std::uint32_t TakeSentBytes() = 0;
    virtual std::uint32_t TakeReceivedBytes() = 0;
    virtual std::uint32_t SignalMs() = 0;
    // Packets still waiting to leave on the media server's channel.
    virtual std::uint32_t MediaPending() { return 0; }
    // Packets still waiting to leave on the video channel.
    virtual std::uint32_t VideoPending() { return 0; }

    // A catalogue message on the channel its command id belongs to.
    template <class Msg>
    bool Send(const Msg& m) {
        TLV::body b;
        if (!wire::write_fields(b, m)) return false;
        switch (Msg::id >> 24) {
            case 0x03: return sendVideoService(Msg::id, b);
            case 0x05:
            case 0x06: return sendMediaServer(Msg::id, b);
            default: return sendChat(Msg::id, b);
        }
    }
};

// The link over the connection library.
class CProxyLink : public IRoomLink {
public:
    // Takes channel 1 of the registered "pc_chat" connection; false while
    // there is none yet.
    bool AttachChat();
    void SetChatSender(IChannelSender* s);
    bool sendChat(std::uint32_t command, const TLV::body& body) override;
    bool sendVideoService(std::uint32_t command, const TLV::body& body) override;
    bool sendMediaServer(std::uint32_t command, const TLV::body& body) override;
    std::uint32_t TakeSentBytes() override;
    std::uint32_t TakeReceivedBytes() override;
    std::uint32_t SignalMs() override;
    std::uint32_t MediaPending() override;
    std::uint32_t VideoPending() override;

private:
    std::mutex lock_;
    IChannelSender* chat_ = nullptr;
};

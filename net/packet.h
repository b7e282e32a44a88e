#pragma once
// The packet record exchanged with the connection layer: a command id and a
// body. zpacket owns a copy of its body so it can cross threads.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/wisdom_ptr.h"
#include "net/tlv.h"
#include "platform/relayhub/pkinfo.h"  // the record belongs to the connection library


template <class Info>
class zpacket : public Info {
public:
    // Copies the body; no buffer when it is empty. On allocation failure the
    // packet is left without a body and valid() is false.
    zpacket(std::uint32_t cmd, const void* body, std::size_t length) {
        this->cmd = cmd;
        if (length == 0 || !body) return;
        if (length > UINT32_MAX) {
            failed_ = true;
            return;
        }
        this->body = static_cast<unsigned char*>(std::malloc(length));
        if (!this->body) {
            failed_ = true;
            return;
        }
        std::memcpy(this->body, body, length);
        this->length = static_cast<std::uint32_t>(length);
    }
    // Copy of a record handed in by the connection layer, valid only during
    // its call: what a sink keeps when it forwards the packet.
    explicit zpacket(const Info& in) : zpacket(in.cmd, in.body, in.length) {}
    // Adopts a body already filled by the caller (from malloc).
    static zpacket* adopt(std::uint32_t cmd, unsigned char* body, std::uint32_t length) {
        auto* p = new zpacket(cmd, nullptr, 0);
        p->body = body;
        p->length = length;
        return p;
    }
    zpacket(const zpacket&) = delete;
    zpacket& operator=(const zpacket&) = delete;
    ~zpacket() { std::free(this->body); }

    bool valid() const { return !failed_; }

private:
    bool failed_ = false;
};

struct wisdom_zpacketfree {
    void operator()(zpacket<pkinfo>* p) const { delete p; }
};

using packet_ptr = wisdom_ptr<zpacket<pkinfo>, wisdom_zpacketfree>;

// Encodes the body and copies it into a new packet carrying `command`.
// An empty holder when memory runs out.
packet_ptr make_packet(std::uint32_t command, const TLV::body& body);

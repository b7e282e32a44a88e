#include "net/service_answer.h"

#include <vector>

#include "net/tlv.h"
#include "platform/kampo/kampo.h"

namespace msg {

bool DecodeServiceAnswer(const unsigned char* bytes, std::size_t length, bool encrypted,
                         ServiceAnswer& out) {
    out = {};
    if (!bytes && length) return false;
    std::vector<unsigned char> plain(bytes, bytes + length);
    if (encrypted) {
        if (length > static_cast<std::size_t>(INT32_MAX)) return false;
        const int n = kampo_decrypt(1, kKampoAppKey, plain.data(), static_cast<int>(plain.size()));
        if (n < 0) return false;
        plain.resize(static_cast<std::size_t>(n));
    }
    TLV::body b;
    b.parse(plain.data(), plain.size());
    out.error = b.get_string(kAnswerError);
    for (std::size_t i = 0, n = b.count(kAnswerItem); i < n; ++i) {
        TLV::body item;
        if (!b.get_container(kAnswerItem, item, i)) continue;
        ServiceItem it;
        std::size_t len = 0;
        if (item.get_raw(kAnswerResult, &len) && len == 4) {
            it.hasResult = true;
            it.result = static_cast<std::uint32_t>(item.get_int(kAnswerResult));
        }
        it.text = item.get_string(kAnswerText);
        out.items.push_back(std::move(it));
    }
    return true;
}

std::string EncodeServiceAnswer(const ServiceAnswer& answer, bool encrypt) {
    TLV::body b;
    if (!answer.error.empty()) b.put_string(kAnswerError, answer.error);
    for (const ServiceItem& it : answer.items) {
        TLV::body item;
        if (it.hasResult) item.put_u32(kAnswerResult, it.result);
        if (!it.text.empty()) item.put_string(kAnswerText, it.text);
        b.put_container(kAnswerItem, item);
    }
    const std::vector<unsigned char> bytes = TLV::encode(b);
    std::string plain(bytes.begin(), bytes.end());
    return encrypt ? kampo_encrypt(kKampoAppKey, plain) : plain;
}

bool ServiceAnswerSucceeded(const ServiceAnswer& answer) {
    return answer.error.empty() && !answer.items.empty() && answer.items.front().hasResult &&
           answer.items.front().result == 0;
}

}  // namespace msg

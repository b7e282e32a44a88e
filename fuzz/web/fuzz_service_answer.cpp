// The check-in and room-picture services' answers from arbitrary bytes, read
// as they come (plain) and as a sealed answer (the bytes sealed first, and the
// raw bytes taken as sealed). Never a crash; a success is always an answer
// with no error and a first item whose result is present and 0; sealing
// changes nothing of what is read; reading is stable under re-encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/service_answer.h"
#include "platform/kampo/kampo.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool Same(const msg::ServiceAnswer& a, const msg::ServiceAnswer& b) {
    if (a.error != b.error || a.items.size() != b.items.size()) return false;
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        const msg::ServiceItem& x = a.items[i];
        const msg::ServiceItem& y = b.items[i];
        if (x.hasResult != y.hasResult || x.result != y.result || x.text != y.text) return false;
    }
    return true;
}

void CheckSuccess(const msg::ServiceAnswer& a) {
    if (!msg::ServiceAnswerSucceeded(a)) return;
    Check(a.error.empty());
    Check(!a.items.empty());
    Check(a.items.front().hasResult);
    Check(a.items.front().result == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    msg::ServiceAnswer plain;
    Check(msg::DecodeServiceAnswer(data, size, false, plain));
    CheckSuccess(plain);

    // Raw bytes taken as sealed: almost always refused, never a crash.
    msg::ServiceAnswer raw;
    if (msg::DecodeServiceAnswer(data, size, true, raw)) CheckSuccess(raw);

    const std::string sealed =
        kampo_encrypt(kKampoAppKey, std::string(reinterpret_cast<const char*>(data), size));
    Check(!sealed.empty());
    msg::ServiceAnswer opened;
    Check(msg::DecodeServiceAnswer(reinterpret_cast<const unsigned char*>(sealed.data()),
                                   sealed.size(), true, opened));
    Check(Same(plain, opened));

    // What was read, written again, reads the same. An item with neither
    // result nor text is written as an empty value, which reads as no item.
    for (const msg::ServiceItem& it : plain.items)
        if (!it.hasResult && it.text.empty()) return 0;
    const std::string again = msg::EncodeServiceAnswer(plain, false);
    msg::ServiceAnswer reread;
    Check(msg::DecodeServiceAnswer(reinterpret_cast<const unsigned char*>(again.data()),
                                   again.size(), false, reread));
    Check(Same(plain, reread));
    return 0;
}

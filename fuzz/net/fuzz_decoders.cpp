// Arbitrary bytes through every typed decoder of the catalogue, and the
// decoded message rebuilt: what a message builds must decode to a message
// that builds the same bytes again. The decoder and the builder must also
// agree with the container's getters and put_* calls (field_oracle.h). The
// same bytes also go through the JSON holder and the power-list loader.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <tuple>

#include "field_oracle.h"
#include "net/catalogue.h"
#include "net/json.h"
#include "net/power.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

template <class Msg>
void One(const std::uint8_t* data, std::size_t size) {
    const Msg m = wire::decode<Msg>(data, size);
    TLV::body parsed;
    parsed.parse(data, size);
    Msg want{};
    oracle::read(parsed, want);
    Check(oracle::same(m, want));
    Check(oracle::same(wire::decode<Msg>(parsed), want));

    TLV::body first;
    TLV::body plain;
    const bool fits = oracle::write(plain, m);
    if (!wire::write_fields(first, m)) {
        // A field grew past its limit on rebuilding.
        Check(!fits && first.encoded_size() == 0);
        return;
    }
    const auto bytes = TLV::encode(static_cast<const TLV::body&>(first));
    Check(fits && TLV::encode(static_cast<const TLV::body&>(plain)) == bytes);
    const Msg again = wire::decode<Msg>(bytes.data(), bytes.size());
    TLV::body second;
    Check(wire::write_fields(second, again));
    Check(TLV::encode(static_cast<const TLV::body&>(second)) == bytes);
    if constexpr (requires { Msg::id; }) {
        packet_ptr p = wire::build(m);
        Check(p && p->cmd == Msg::id && p->length == bytes.size());
    }
}

void Json(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const json::value v = json::value::parse(text);
    if (!v) return;
    (void)v.get_int("CMD");
    (void)v.get_string("ERROR");
    (void)v.get("OBJ").get_string("power");
    for (std::size_t i = 0; i < v.size() && i < 64; ++i) (void)v.at(i).get_int("powerid");
    (void)v.dump();
    // The failure path only logs; fuzz the loading path.
    if (v.get_int("CODE") == 0) {
        CPowerTable table;
        table.LoadPowerList(v);
        (void)table.HasPowerOver(3, 7, 5);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The power list prints one line per rule.
    if (!std::freopen("/dev/null", "w", stdout)) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::apply([&](auto... m) { (One<decltype(m)>(data, size), ...); }, msg::requests{});
    std::apply([&](auto... m) { (One<decltype(m)>(data, size), ...); }, msg::responses{});
    std::apply([&](auto... m) { (One<decltype(m)>(data, size), ...); },
               std::tuple<msg::user_card, msg::chat_attrs, msg::user_block>{});
    Json(data, size);
    return 0;
}

// The codec derived from the field lists against a plain reading of the same
// lists through the container (field_oracle.h): every catalogue message,
// filled at random, must build the same bytes, and any body, however
// damaged, must decode to the same message.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "field_oracle.h"
#include "hex.h"
#include "net/catalogue.h"

namespace {

using namespace msg;
using Bytes = std::vector<unsigned char>;

using blocks = std::tuple<user_card, chat_attrs, user_block, anchor_block>;

// Calls f.template operator()<Msg>() for every message and block.
template <class F>
void ForEveryMessage(F&& f) {
    auto each = [&](auto list) {
        std::apply([&](auto... m) { (f.template operator()<decltype(m)>(), ...); }, list);
    };
    each(msg::requests{});
    each(msg::responses{});
    each(blocks{});
}

// --- messages filled at random ------------------------------------------------

// Raw fields are views; they look into this.
const Bytes& Pool() {
    static const Bytes pool = [] {
        Bytes p(70000);
        for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>(i * 131 + 7);
        return p;
    }();
    return pool;
}

struct Filler {
    std::mt19937_64 rng;

    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(rng() % n); }

    std::string Text() {
        std::string s(Below(4) == 0 ? 0 : Below(24), 'x');
        for (char& c : s) c = static_cast<char>(Below(8) == 0 ? 0 : 'a' + Below(26));
        return s;
    }

    template <class Msg>
    void Fill(Msg& m) {
        if constexpr (std::is_base_of_v<wire::status, Msg>) {
            wire::status& s = m;
            s.message = Below(3) == 0 ? Text() : "";
            s.code = Below(3) == 0 ? static_cast<std::uint32_t>(rng()) : 0;
        }
        std::apply([&](const auto&... f) { (One(m, f), ...); }, Msg::fields());
    }

    template <class Msg, class M>
    void One(Msg& m, const wire::int_field<Msg, M>& f) {
        if constexpr (wire::is_optional<M>::value) {
            if (Below(2)) m.*(f.member) = static_cast<typename M::value_type>(rng());
            else m.*(f.member) = std::nullopt;
        } else {
            m.*(f.member) = static_cast<M>(rng());
        }
    }
    template <class Msg>
    void One(Msg& m, const wire::text_field<Msg>& f) {
        m.*(f.member) = Text();
    }
    template <class Msg>
    void One(Msg& m, const wire::raw_field<Msg>& f) {
        const std::size_t n = Below(4) == 0 ? 0 : Below(40);
        m.*(f.member) = wire::bytes(Pool().data() + Below(1000), n);
    }
    template <class Msg, class N>
    void One(Msg& m, const wire::nested_field<Msg, N>& f) {
        Fill(m.*(f.member));
    }
    template <class Msg, class M>
    void One(Msg& m, const wire::ints_field<Msg, M>& f) {
        (m.*(f.member)).assign(Below(4), static_cast<M>(rng()));
    }
    template <class Msg, class N>
    void One(Msg& m, const wire::nesteds_field<Msg, N>& f) {
        (m.*(f.member)).resize(Below(4));
        for (N& n : m.*(f.member)) Fill(n);
    }
};

template <class Msg>
Bytes OracleBytes(const Msg& m, bool* ok = nullptr) {
    TLV::body b;
    const bool fits = oracle::write(b, m);
    if (ok) *ok = fits;
    return TLV::encode(static_cast<const TLV::body&>(b));
}

template <class Msg>
Bytes CodecBytes(const Msg& m) {
    TLV::body b;
    EXPECT_TRUE(wire::write_fields(b, m));
    return TLV::encode(static_cast<const TLV::body&>(b));
}

// --- encoding -------------------------------------------------------------------

TEST(FieldCodecEncode, EveryMessageWritesWhatTheContainerWrites) {
    Filler fill{std::mt19937_64(11)};
    ForEveryMessage([&]<class Msg>() {
        for (int round = 0; round < 100; ++round) {
            Msg m{};
            fill.Fill(m);
            const Bytes want = OracleBytes(m);
            SCOPED_TRACE(ToHex(want));
            ASSERT_EQ(wire::encoded_size(m), want.size());
            ASSERT_EQ(CodecBytes(m), want);

            Bytes raw(want.size() + 1, 0xEE);
            unsigned char* end = wire::encode_to(raw.data(), m);
            ASSERT_EQ(end, raw.data() + want.size()) << "writes exactly its size";
            EXPECT_EQ(raw.back(), 0xEE);
            raw.pop_back();
            EXPECT_EQ(raw, want);

            if constexpr (requires { Msg::id; }) {
                packet_ptr p = wire::build(m);
                ASSERT_TRUE(p);
                EXPECT_EQ(p->cmd, Msg::id);
                EXPECT_EQ(ToHex(p->body, p->length), ToHex(want));
            }
        }
    });
}

TEST(FieldCodecEncode, BodyIsAppendedAfterWhatIsThere) {
    TLV::body b;
    b.put_u8(9, 1);
    Control_Logout_Req r{1001, 2002};
    ASSERT_TRUE(wire::write_fields(b, r));
    b.put_u8(9, 2);
    TLV::body want;
    want.put_u8(9, 1);
    ASSERT_TRUE(oracle::write(want, r));
    want.put_u8(9, 2);
    EXPECT_EQ(TLV::encode(static_cast<const TLV::body&>(b)),
              TLV::encode(static_cast<const TLV::body&>(want)));
}

TEST(FieldCodecEncode, AbsentValuesWriteNothing) {
    // No anchor: the nested block is empty, so its header goes too.
    EXPECT_EQ(wire::encoded_size(Control_Anchor_Notify{}), 0u);
    packet_ptr none = wire::build(Control_Anchor_Notify{});
    ASSERT_TRUE(none);
    EXPECT_EQ(none->length, 0u);

    Control_Anchor_Notify a;
    a.anchor.user_id = 7;
    EXPECT_EQ(ToHex(CodecBytes(a)), "02 00 07 01 00 04 00 00 00 07");

    Mix_Audio_Data frame;  // empty audio: only the stamp goes out
    frame.stamp_diff = 5;
    EXPECT_EQ(ToHex(CodecBytes(frame)), "02 00 04 00 00 00 05");

    Video_Login_Req v;  // the media key is left out while empty
    EXPECT_EQ(wire::encoded_size(v), 2u * 7 + 2u * 4);
    v.media_key = "k";
    EXPECT_EQ(wire::encoded_size(v), 2u * 7 + 2u * 4 + 5);
}

// What does not fit is refused whole, whichever level it is at, and the
// container's builder agrees on where the limit lies.
TEST(FieldCodecEncode, ValuesAtTheLengthLimit) {
    auto check = [](const auto& m, bool fits) {
        bool oracleFits = false;
        const Bytes want = OracleBytes(m, &oracleFits);
        EXPECT_EQ(oracleFits, fits);
        TLV::body b;
        b.put_u8(1, 1);
        EXPECT_EQ(wire::write_fields(b, m), fits);
        EXPECT_EQ(static_cast<bool>(wire::build(m)), fits);
        if (fits) {
            EXPECT_EQ(wire::encoded_size(m), want.size());
            EXPECT_EQ(b.encoded_size(), 4 + want.size());
            EXPECT_EQ(CodecBytes(m), want);
        } else {
            EXPECT_EQ(wire::encoded_size(m), wire::kTooLong);
            EXPECT_EQ(b.encoded_size(), 4u) << "nothing written";
        }
    };
    Control_Send_Chat_Req chat;
    chat.line.assign(65534, 'a');  // with its NUL: 65535
    check(chat, true);
    chat.line.push_back('a');
    check(chat, false);

    Mix_Audio_Data audio;
    audio.audio = wire::bytes(Pool().data(), 65535);
    check(audio, true);
    audio.audio = wire::bytes(Pool().data(), 65536);
    check(audio, false);

    // A card is its head url plus 52 bytes: six texts' headers and NULs,
    // four integers of 7.
    Control_Login_Req login;
    login.card.head_url.assign(65535 - 52, 'h');
    check(login, true);
    login.card.head_url.push_back('h');
    check(login, false);

    // A user block is its card plus 22 bytes; one user too long refuses
    // the whole list.
    Control_Room_UserList_Notify list;
    list.users.resize(3);
    list.users[1].card.head_url.assign(65535 - 52 - 22, 'h');
    check(list, true);
    list.users[1].card.head_url.push_back('h');
    check(list, false);
}

// --- decoding -------------------------------------------------------------------

// Bodies a peer might send instead of `good`: cut short anywhere, items
// repeated or moved, lengths lying, bytes flipped.
std::vector<Bytes> Damaged(const Bytes& good, std::mt19937_64& rng) {
    std::vector<Bytes> out;
    for (std::size_t n = 0; n <= good.size(); ++n) out.emplace_back(good.begin(), good.begin() + n);

    std::vector<std::pair<std::size_t, std::size_t>> items;  // offset, whole size
    for (std::size_t at = 0; at + 3 <= good.size();) {
        const std::size_t size = 3 + ((good[at + 1] << 8) | good[at + 2]);
        if (at + size > good.size()) break;
        items.emplace_back(at, size);
        at += size;
    }
    auto item = [&](std::size_t i) {
        const auto from = good.begin() + static_cast<std::ptrdiff_t>(items[i].first);
        return Bytes(from, from + static_cast<std::ptrdiff_t>(items[i].second));
    };
    Bytes reversed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        Bytes twice = good;  // item i again at the end, then again in place
        const Bytes it = item(i);
        twice.insert(twice.end(), it.begin(), it.end());
        out.push_back(twice);
        Bytes front = it;
        front.insert(front.end(), good.begin(), good.end());
        out.push_back(front);
        const Bytes r = item(items.size() - 1 - i);
        reversed.insert(reversed.end(), r.begin(), r.end());
        for (unsigned length : {0u, 1u, 2u, 3u, 4u, 8u, 0xFFFFu}) {
            Bytes lie = good;
            lie[items[i].first + 1] = static_cast<unsigned char>(length >> 8);
            lie[items[i].first + 2] = static_cast<unsigned char>(length);
            out.push_back(lie);
        }
    }
    out.push_back(reversed);
    Bytes empties = good;  // zero-length items, one of them last
    for (unsigned char tag : {1, 2, 4, 7, 208, 209}) {
        empties.insert(empties.begin(), {tag, 0, 0});
        Bytes last = good;
        last.insert(last.end(), {tag, 0, 0});
        out.push_back(last);
    }
    out.push_back(empties);
    for (int k = 0; k < 40 && !good.empty(); ++k) {
        Bytes flip = good;
        for (int j = 0; j < 3; ++j) flip[rng() % flip.size()] = static_cast<unsigned char>(rng());
        out.push_back(flip);
    }
    return out;
}

template <class Msg>
void ExpectDecodesAsTheGettersRead(const Bytes& bytes) {
    TLV::body parsed;
    parsed.parse(bytes.data(), bytes.size());
    Msg want{};
    oracle::read(parsed, want);
    EXPECT_TRUE(oracle::same(wire::decode<Msg>(bytes.data(), bytes.size()), want)) << ToHex(bytes);
    EXPECT_TRUE(oracle::same(wire::decode<Msg>(parsed), want)) << ToHex(bytes);
}

TEST(FieldCodecDecode, AgreesWithTheGettersOnDamagedBodies) {
    Filler fill{std::mt19937_64(23)};
    std::mt19937_64 rng(5);
    ForEveryMessage([&]<class Msg>() {
        for (int round = 0; round < 6; ++round) {
            Msg m{};
            fill.Fill(m);
            for (const Bytes& bytes : Damaged(OracleBytes(m), rng))
                ExpectDecodesAsTheGettersRead<Msg>(bytes);
        }
    });
}

TEST(FieldCodecDecode, OddWidthsTextsAndRepeats) {
    // A chat notify with: sender id 3 bytes wide, then 8; the line twice;
    // the sender's name without its NUL; the style both empty and set; the
    // attributes twice (first wins) with an unknown tag inside.
    const Bytes bytes = Hex(
        "01 00 03 00 00 05  01 00 08 00 00 00 00 00 00 00 06"
        "02 00 02 61 00  02 00 02 62 00  03 00 02 61 62  04 00 04 61 00 62 00"
        "06 00 00  06 00 01 09"
        "07 00 09 63 00 01 01  02 00 02 6E 00  07 00 04 05 00 01 02  D1 00 02 65 00");
    ExpectDecodesAsTheGettersRead<Control_Chat_Notify>(bytes);
    const auto m = wire::decode<Control_Chat_Notify>(bytes.data(), bytes.size());
    EXPECT_EQ(m.sender_id, 0u) << "a 3-byte value reads as 0, and is the first";
    EXPECT_EQ(chat_line_text(m.line), "a");
    EXPECT_EQ(m.sender_name, "") << "no NUL";
    EXPECT_EQ(m.receiver_name, "a");
    EXPECT_EQ(m.style, 0) << "the empty value came first";
    EXPECT_EQ(m.attrs.nickname, "n");
    EXPECT_EQ(m.attrs.role, 0);
    EXPECT_EQ(m.message, "e");

    // Repeated tags of a list keep their order among other tags.
    const Bytes wheat = Hex("02 00 04 00 00 00 03  01 00 04 00 00 00 09  02 00 01 04"
                            "02 00 02 00 05  02 00 03 00 00 06");
    ExpectDecodesAsTheGettersRead<Control_Wheat_List_Notify>(wheat);
    EXPECT_EQ(wire::decode<Control_Wheat_List_Notify>(wheat.data(), wheat.size()).queue,
              (std::vector<std::uint32_t>{3, 4, 5, 0}));
}

// Bodies nested inside other bodies: a user list read from a body already k
// levels down. From level 7 its users (level 8) are read but not their cards
// (9); from level 8 the users still count, each read as empty.
TEST(FieldCodecDecode, NestingStopsAtTheDepthBound) {
    user_block u;
    u.user_id = 5;
    u.nickname = "u";
    u.card.head_url = "h";
    Control_Room_UserList_Notify list;
    list.users = {u, u};
    TLV::body inner;
    ASSERT_TRUE(wire::write_fields(inner, list));

    auto read_at = [&](int k) {
        TLV::body wrap;
        wrap.put_container(1, inner);
        for (int d = 1; d < k; ++d) {
            TLV::body outer;
            outer.put_container(1, wrap);
            wrap = std::move(outer);
        }
        static std::vector<Bytes> kept;  // the decoded views point into these
        kept.push_back(TLV::encode(static_cast<const TLV::body&>(wrap)));
        std::vector<TLV::body> down(static_cast<std::size_t>(k) + 1);
        down[0].parse(kept.back().data(), kept.back().size());
        for (int d = 1; d <= k; ++d) EXPECT_TRUE(down[d - 1].get_container(1, down[d]));
        EXPECT_EQ(down[k].depth(), k);
        Control_Room_UserList_Notify want{};
        oracle::read(down[k], want);
        const auto got = wire::decode<Control_Room_UserList_Notify>(down[k]);
        EXPECT_TRUE(oracle::same(got, want));
        return got;
    };
    const auto seven = read_at(7);
    ASSERT_EQ(seven.users.size(), 2u);
    EXPECT_EQ(seven.users[1].user_id, 5u);
    EXPECT_EQ(seven.users[1].nickname, "u");
    EXPECT_EQ(seven.users[1].card.head_url, "");
    const auto eight = read_at(8);
    ASSERT_EQ(eight.users.size(), 2u);
    EXPECT_EQ(eight.users[1].user_id, 0u);
}

// read_fields into a message that already holds values: what the body
// lacks reads as the getters answer, except optional integers and nested
// blocks, which keep what they held.
TEST(FieldCodecDecode, ReadingIntoAFilledMessage) {
    Filler fill{std::mt19937_64(31)};
    std::mt19937_64 rng(9);
    ForEveryMessage([&]<class Msg>() {
        for (int round = 0; round < 3; ++round) {
            Msg sent{}, before{};
            fill.Fill(sent);
            fill.Fill(before);
            for (const Bytes& bytes : Damaged(OracleBytes(sent), rng)) {
                TLV::body parsed;
                parsed.parse(bytes.data(), bytes.size());
                Msg want = before, got = before;
                oracle::read(parsed, want);
                wire::read_fields(parsed, got);
                ASSERT_TRUE(oracle::same(got, want)) << ToHex(bytes);
            }
        }
    });

    Control_Anchor_Notify a;
    a.anchor.user_id = 4;
    a.message = "old";
    const Bytes none;
    TLV::body empty;
    empty.parse(none.data(), 0);
    wire::read_fields(empty, a);
    EXPECT_EQ(a.anchor.user_id, 4u);
    EXPECT_EQ(a.message, "");
    Control_Login_Req login;
    wire::read_fields(empty, login);
    EXPECT_EQ(login.client_kind, 0) << "an absent integer reads as 0, not its default";
}

}  // namespace

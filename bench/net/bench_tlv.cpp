// Encoding and decoding speed of three typical messages (a chat line with
// its attributes, a user list of 200 users, a 6 KB voice frame), side by
// side with the same messages in protobuf.
//
// Encode: TLV writes the typed message into a body (sized from its field
// list, one buffer); protobuf is timed both serialising a ready message and
// filling it first.
// Decode: TLV into the typed message (texts copied, raw data not), and TLV
// read in place through views; protobuf parses into a reused message, its
// fastest case.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_messages.pb.h"
#include "net/catalogue.h"

namespace {

msg::chat_attrs Attrs() {
    msg::chat_attrs a;
    a.nickname = "小明同学";
    a.role = 3;
    a.sex = 1;
    a.colour = msg::chat_colour(0xFF, 0x88, 0x00);
    a.font = "微软雅黑,12,0,0,0";
    a.wealth_grade = 12;
    a.vip_level = 3;
    a.vip_data = "vip3|gold|2026-12-31";
    return a;
}

msg::user_card Card(std::uint32_t i) {
    msg::user_card c;
    c.head_url = "http://img.zeri.example/head/" + std::to_string(100000 + i) + "_80.jpg";
    c.profile_byte = i % 2;
    c.wealth_grade = i % 30;
    c.wealth_colour = msg::chat_colour(static_cast<std::uint8_t>(i), 0x40, 0x80);
    c.wealth_text = "富豪" + std::to_string(i % 30);
    c.value14 = i;
    c.medal_url = "http://img.zeri.example/medal/" + std::to_string(i % 30) + ".png";
    c.vip_level = i % 7;
    return c;
}

struct Chat {
    using Msg = msg::Control_Chat_Notify;
    using Pb = zeribench::ChatNotify;
    static const char* name() { return "chat"; }
    static const Msg& sample() {
        static const std::string line = "大家好，今天的节目很精彩！[face:12] see you all tonight";
        static const Msg m = [] {
            Msg m;
            m.sender_id = 100001;
            m.line = wire::bytes(reinterpret_cast<const unsigned char*>(line.c_str()),
                                 line.size() + 1);
            m.sender_name = "小明同学";
            m.style = 1;
            m.attrs = Attrs();
            return m;
        }();
        return m;
    }
    static void fill(Pb& pb, const Msg& m) {
        pb.set_sender_id(m.sender_id);
        pb.set_line(m.line.data(), m.line.size());
        pb.set_receiver_id(m.receiver_id);
        pb.set_sender_name(m.sender_name);
        pb.set_receiver_name(m.receiver_name);
        pb.set_style(m.style);
        auto* a = pb.mutable_attrs();
        a->set_nickname(m.attrs.nickname);
        a->set_role(m.attrs.role);
        a->set_sex(m.attrs.sex);
        a->set_colour(m.attrs.colour);
        a->set_font(m.attrs.font);
        a->set_wealth_grade(m.attrs.wealth_grade);
        a->set_vip_level(m.attrs.vip_level);
        a->set_vip_data(m.attrs.vip_data);
    }
    // Every field read in place.
    static std::size_t views(const TLV::body& b) {
        std::size_t sum = b.get_int(1) + b.get_bytes(2).size() + b.get_int(5) +
                          b.get_text(3).size() + b.get_text(4).size() + b.get_int(6);
        TLV::body a;
        if (b.get_container(7, a))
            sum += a.get_text(2).size() + a.get_int(4) + a.get_int(5) + a.get_text(3).size() +
                   a.get_text(6).size() + a.get_int(7) + a.get_int(9) + a.get_text(10).size();
        return sum;
    }
};

struct UserList {
    using Msg = msg::Control_Room_UserList_Notify;
    using Pb = zeribench::UserList;
    static const char* name() { return "userlist200"; }
    static const Msg& sample() {
        static const Msg m = [] {
            Msg m;
            for (std::uint32_t i = 0; i < 200; ++i) {
                msg::user_block u;
                u.role = static_cast<std::uint8_t>(i % 9);
                u.user_id = 100000 + i;
                u.nickname = "用户" + std::to_string(i);
                u.gagged = i % 11 == 0;
                u.card = Card(i);
                m.users.push_back(u);
            }
            return m;
        }();
        return m;
    }
    static void fill(Pb& pb, const Msg& m) {
        pb.mutable_users()->Reserve(static_cast<int>(m.users.size()));
        for (const auto& u : m.users) {
            auto* b = pb.add_users();
            b->set_role(u.role);
            b->set_user_id(u.user_id);
            b->set_nickname(u.nickname);
            b->set_gagged(u.gagged);
            auto* c = b->mutable_card();
            c->set_head_url(u.card.head_url);
            c->set_text2(u.card.text2);
            c->set_profile_byte(u.card.profile_byte);
            c->set_text4(u.card.text4);
            c->set_wealth_grade(u.card.wealth_grade);
            c->set_wealth_colour(u.card.wealth_colour);
            c->set_wealth_text(u.card.wealth_text);
            c->set_value14(u.card.value14);
            c->set_medal_url(u.card.medal_url);
            c->set_vip_level(u.card.vip_level);
        }
    }
    static std::size_t views(const TLV::body& b) {
        std::size_t sum = 0;
        TLV::body u, c;
        const std::size_t n = b.count(2);
        for (std::size_t i = 0; i < n; ++i) {
            if (!b.get_container(2, u, i)) continue;
            sum += u.get_int(5) + u.get_int(1) + u.get_text(2).size() + u.get_int(3);
            if (u.get_container(4, c))
                sum += c.get_text(1).size() + c.get_text(2).size() + c.get_int(3) +
                       c.get_text(4).size() + c.get_int(8) + c.get_text(12).size() +
                       c.get_text(13).size() + c.get_int(14) + c.get_text(15).size() +
                       c.get_int(16);
        }
        return sum;
    }
};

struct Voice {
    using Msg = msg::Mix_Aac_Notify;
    using Pb = zeribench::Voice;
    static const char* name() { return "voice6k"; }
    static const Msg& sample() {
        static const std::vector<unsigned char> audio = [] {
            std::vector<unsigned char> a(6144);
            for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<unsigned char>(i * 31);
            return a;
        }();
        static const Msg m = [] {
            Msg m;
            m.audio = wire::bytes(audio);
            m.speaker1 = 100001;
            m.speaker2 = 100002;
            m.stamp = 123456;
            return m;
        }();
        return m;
    }
    static void fill(Pb& pb, const Msg& m) {
        pb.set_audio(m.audio.data(), m.audio.size());
        pb.set_speaker1(m.speaker1);
        pb.set_speaker2(m.speaker2);
        pb.set_stamp(m.stamp);
    }
    static std::size_t views(const TLV::body& b) {
        return b.get_bytes(2).size() + b.get_int(1) + b.get_int(4) + b.get_int(3);
    }
};

template <class K>
std::vector<unsigned char> TlvBytes() {
    TLV::body b;
    wire::write_fields(b, K::sample());
    return TLV::encode(static_cast<const TLV::body&>(b));
}

template <class K>
std::string PbBytes() {
    typename K::Pb pb;
    K::fill(pb, K::sample());
    return pb.SerializeAsString();
}

template <class K>
void Tlv_Encode(benchmark::State& state) {
    const auto& m = K::sample();
    std::size_t bytes = 0;
    for (auto _ : state) {
        TLV::body b;
        wire::write_fields(b, m);
        const unsigned char* p = nullptr;
        std::size_t n = 0;
        TLV::encode(b, p, n);
        benchmark::DoNotOptimize(p);
        bytes += n;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations());
}

template <class K>
void Pb_Serialize(benchmark::State& state) {
    typename K::Pb pb;
    K::fill(pb, K::sample());
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        pb.SerializeToString(&out);
        benchmark::DoNotOptimize(out.data());
        bytes += out.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations());
}

template <class K>
void Pb_FillSerialize(benchmark::State& state) {
    const auto& m = K::sample();
    std::size_t bytes = 0;
    for (auto _ : state) {
        typename K::Pb pb;
        K::fill(pb, m);
        std::string out;
        pb.SerializeToString(&out);
        benchmark::DoNotOptimize(out.data());
        bytes += out.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations());
}

template <class K>
void Tlv_Decode(benchmark::State& state) {
    const auto bytes = TlvBytes<K>();
    for (auto _ : state) {
        auto m = wire::decode<typename K::Msg>(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(&m);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.SetItemsProcessed(state.iterations());
}

template <class K>
void Tlv_DecodeInPlace(benchmark::State& state) {
    const auto bytes = TlvBytes<K>();
    for (auto _ : state) {
        TLV::body b;
        b.parse(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(K::views(b));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.SetItemsProcessed(state.iterations());
}

template <class K>
void Pb_Parse(benchmark::State& state) {
    const std::string bytes = PbBytes<K>();
    typename K::Pb pb;
    for (auto _ : state) {
        pb.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()));
        benchmark::DoNotOptimize(&pb);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.SetItemsProcessed(state.iterations());
}

template <class K>
void Pb_ParseFresh(benchmark::State& state) {
    const std::string bytes = PbBytes<K>();
    for (auto _ : state) {
        typename K::Pb pb;
        pb.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()));
        benchmark::DoNotOptimize(&pb);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.SetItemsProcessed(state.iterations());
}

#define ZERI_BENCH_KIND(K)                    \
    BENCHMARK_TEMPLATE(Tlv_Encode, K);        \
    BENCHMARK_TEMPLATE(Pb_Serialize, K);      \
    BENCHMARK_TEMPLATE(Pb_FillSerialize, K);  \
    BENCHMARK_TEMPLATE(Tlv_Decode, K);        \
    BENCHMARK_TEMPLATE(Tlv_DecodeInPlace, K); \
    BENCHMARK_TEMPLATE(Pb_Parse, K);          \
    BENCHMARK_TEMPLATE(Pb_ParseFresh, K)

ZERI_BENCH_KIND(Chat);
ZERI_BENCH_KIND(UserList);
ZERI_BENCH_KIND(Voice);

// The usual table, then protobuf's time over ours for each message (above 1
// means ours is faster), from CPU time: the figures the codec is held to.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Color : OO_None) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            // With repetitions, the median stands for the case.
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            cpu_[r.run_name.function_name] = r.GetAdjustedCPUTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nprotobuf time / TLV time (CPU):\n%-12s %10s %10s\n", "message", "encode",
                    "decode");
        for (const char* k : {"Chat", "UserList", "Voice"}) {
            const std::string kind = std::string("<") + k + ">";
            std::printf("%-12s %10.2f %10.2f\n", k,
                        Ratio("Pb_Serialize" + kind, "Tlv_Encode" + kind),
                        Ratio("Pb_Parse" + kind, "Tlv_Decode" + kind));
        }
    }

private:
    double Ratio(const std::string& theirs, const std::string& ours) const {
        const auto a = cpu_.find(theirs);
        const auto b = cpu_.find(ours);
        if (a == cpu_.end() || b == cpu_.end() || b->second <= 0) return 0;
        return a->second / b->second;
    }
    std::map<std::string, double> cpu_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

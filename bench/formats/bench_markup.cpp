// Parse speed of the XML document on a catalogue-like file of 1 MiB, next to
// pugixml parsing the same bytes in the same run. "walk" also visits every
// gift and reads its twelve attributes by name, the way the catalogue reader
// does.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstdio>
#include <string>

#include "formats/markup.h"

namespace {

const char* const kAttribs[] = {"id", "price", "initialPrice", "name", "pricename", "file",
                                "pic", "buyRequest", "gift", "sound", "node", "parent"};

const std::string& Catalogue() {
    static const std::string doc = [] {
        std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<xml_root>\r\n<giftconfig version=\"20240101\">\r\n";
        char line[512];
        for (int id = 1; s.size() < (1u << 20) - 64; ++id) {
            std::snprintf(line, sizeof line,
                          "<gift id=\"%d\" price=\"%d\" initialPrice=\"%d\" name=\"gift %d &amp; co\" "
                          "pricename=\"coins\" file=\"res/globalgift/%d.png\" pic=\"res/globalgift/%d_b.png\" "
                          "buyRequest=\"%d\" gift=\"res/globalgift/%d.gif\" sound=\"res/sound/%d.mp3\" "
                          "node=\"0\" parent=\"0\"/>\r\n",
                          id, id * 10, id * 12, id, id, id, id % 7, id, id % 50);
            s += line;
        }
        s += "</giftconfig>\r\n</xml_root>\r\n";
        return s;
    }();
    return doc;
}

std::size_t ParseMarkup(bool walk) {
    CMarkupSTL x;
    if (!x.SetDoc(Catalogue())) return 0;
    if (!walk) return 1;
    std::size_t total = 0;
    x.FindElem();
    x.FindChildElem("giftconfig");
    x.IntoElem();
    while (x.FindChildElem("gift")) {
        for (const char* a : kAttribs) total += x.GetChildAttrib(a).size();
    }
    return total;
}

std::size_t ParsePugi(bool walk) {
    pugi::xml_document d;
    const std::string& s = Catalogue();
    if (!d.load_buffer(s.data(), s.size())) return 0;
    if (!walk) return 1;
    std::size_t total = 0;
    for (const pugi::xml_node g : d.child("xml_root").child("giftconfig").children("gift")) {
        for (const char* a : kAttribs) total += std::string(g.attribute(a).value()).size();
    }
    return total;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Catalogue().size()));
}

void BM_Parse_Markup(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ParseMarkup(false));
    SetBytes(state);
}
void BM_Parse_Pugixml(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ParsePugi(false));
    SetBytes(state);
}
void BM_ParseWalk_Markup(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ParseMarkup(true));
    SetBytes(state);
}
void BM_ParseWalk_Pugixml(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ParsePugi(true));
    SetBytes(state);
}

// Both parsers in one loop, so the ratio compares the same moments of a
// shared machine. ratio = pugixml MB/s / markup MB/s (1.0 = as fast).
void Compare(benchmark::State& state, bool walk) {
    using Clock = std::chrono::steady_clock;
    double markup_s = 0, pugi_s = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(ParseMarkup(walk));
        auto t1 = Clock::now();
        benchmark::DoNotOptimize(ParsePugi(walk));
        auto t2 = Clock::now();
        markup_s += std::chrono::duration<double>(t1 - t0).count();
        pugi_s += std::chrono::duration<double>(t2 - t1).count();
    }
    const double mb = static_cast<double>(Catalogue().size()) * static_cast<double>(state.iterations()) / 1e6;
    state.counters["markup_MBps"] = mb / markup_s;
    state.counters["pugixml_MBps"] = mb / pugi_s;
    state.counters["ratio"] = markup_s / pugi_s;
    state.counters["doc_bytes"] = static_cast<double>(Catalogue().size());
}
void BM_Compare_Parse(benchmark::State& state) { Compare(state, false); }
void BM_Compare_ParseWalk(benchmark::State& state) { Compare(state, true); }

}  // namespace

BENCHMARK(BM_Parse_Markup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Parse_Pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseWalk_Markup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseWalk_Pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compare_Parse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compare_ParseWalk)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

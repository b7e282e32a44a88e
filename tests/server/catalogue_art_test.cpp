// The pictures the server draws: PNG and GIF files that a viewer reads back
// pixel for pixel, and wealth medals served over HTTP.
#include <gtest/gtest.h>
#include <httplib.h>

#include <set>

#include "server/art/canvas.h"
#include "server/art/gif.h"
#include "server/art/png.h"
#include "server/catalogue_art.h"
#include "server/http/http_server.h"
#include "server/io_runner.h"
#include "server/medal_art.h"
#include "picture_decode.h"

using namespace server;
using art::CCanvas;
using art::Rgb;

namespace {

// Many colours in irregular runs: the LZW table fills and starts over.
CCanvas Noise(int w, int h, unsigned colours, unsigned seed) {
    CCanvas c(w, h);
    std::uint32_t s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1103515245u + 12345u;
            const std::uint32_t k = (s >> 16) % colours;
            c.Set(x, y, k == 0 ? art::kClear : Rgb(k * 0x010305u));
        }
    return c;
}

TEST(ServerArt, PngReadsBackPixelForPixel) {
    for (const CCanvas& c : {Noise(1, 1, 4, 1), Noise(37, 23, 300, 2), Noise(128, 64, 7, 3)}) {
        srvtest::Picture p;
        ASSERT_TRUE(srvtest::DecodePng(art::EncodePng(c), p));
        EXPECT_EQ(p.width, c.width());
        EXPECT_EQ(p.height, c.height());
        EXPECT_EQ(p.pixels, c.pixels());
    }
}

TEST(ServerArt, GifFramesReadBackWithDelaysAndLoop) {
    // Few colours (each kept exactly), a full code table, and one pixel.
    for (const auto& [w, h, colours] : {std::tuple{96, 96, 9}, std::tuple{160, 120, 200},
                                        std::tuple{1, 1, 2}, std::tuple{300, 7, 255}}) {
        std::vector<art::GifFrame> frames;
        for (unsigned f = 0; f < 3; ++f) frames.push_back({Noise(w, h, colours, 10 + f), 80 + f * 10});
        srvtest::Animation a;
        ASSERT_TRUE(srvtest::DecodeGif(art::EncodeGif(frames), a)) << w << "x" << h;
        EXPECT_TRUE(a.loops);
        ASSERT_EQ(a.frames.size(), 3u);
        for (unsigned f = 0; f < 3; ++f) {
            EXPECT_EQ(a.frames[f], frames[f].picture.pixels()) << "frame " << f;
            EXPECT_EQ(a.delaysMs[f], 80 + f * 10);
        }
    }
}

TEST(ServerArt, GifOfEveryLengthReadsBack) {
    // The code width steps up at 512, 1024 and 2048 entries; somewhere among
    // these lengths a picture ends right at each step.
    for (int w = 1; w <= 1400; ++w) {
        const CCanvas c = Noise(w, 1, 250, static_cast<unsigned>(w));
        srvtest::Animation a;
        ASSERT_TRUE(srvtest::DecodeGif(art::EncodeGif({{c, 100}}), a)) << w;
        ASSERT_EQ(a.frames.at(0), c.pixels()) << w;
    }
}

TEST(ServerArt, GifWithTooManyColoursDrawsNearOnes) {
    // 600 colours do not fit one palette: each pixel takes the nearest
    // colour the file has, and transparency stays exact.
    const CCanvas c = Noise(64, 64, 600, 7);
    srvtest::Animation a;
    ASSERT_TRUE(srvtest::DecodeGif(art::EncodeGif({{c, 100}}), a));
    ASSERT_EQ(a.frames.size(), 1u);
    const std::set<std::uint32_t> used(a.frames[0].begin(), a.frames[0].end());
    EXPECT_LE(used.size(), 256u);
    const auto distance = [](std::uint32_t x, std::uint32_t y) {
        int d = 0;
        for (int shift : {16, 8, 0}) {
            const int e = static_cast<int>((x >> shift) & 0xFF) - static_cast<int>((y >> shift) & 0xFF);
            d += e * e;
        }
        return d;
    };
    for (std::size_t i = 0; i < c.pixels().size(); ++i) {
        const std::uint32_t want = c.pixels()[i], got = a.frames[0][i];
        ASSERT_EQ(want == 0, got == 0) << i;
        if (want == 0) continue;
        for (std::uint32_t other : used) {
            if (other == 0) continue;
            ASSERT_LE(distance(want, got), distance(want, other)) << i;
        }
    }
    EXPECT_TRUE(art::EncodeGif({}).empty());
    EXPECT_TRUE(art::EncodeGif({{CCanvas(4, 4), 100}, {CCanvas(5, 4), 100}}).empty());
}

TEST(ServerArt, CataloguePicturesAreValidAndDistinct) {
    using namespace catalogue_art;
    std::set<std::string> seen;
    for (int s = 0; s < kShapeCount; ++s) {
        const auto shape = static_cast<Shape>(s);
        srvtest::Picture p;
        const std::string icon = GiftIcon(shape, 0xE53935);
        ASSERT_TRUE(srvtest::DecodePng(icon, p));
        EXPECT_EQ(p.width, 40);
        // Something is drawn, and not the whole square.
        const auto drawn = std::count_if(p.pixels.begin(), p.pixels.end(), [](auto v) { return v != 0; });
        EXPECT_GT(drawn, 200);
        EXPECT_LT(drawn, 1600);
        EXPECT_TRUE(seen.insert(icon).second);
        EXPECT_TRUE(seen.insert(GiftIcon(shape, 0x1E88E5)).second);
        srvtest::Animation a;
        ASSERT_TRUE(srvtest::DecodeGif(GiftAnimation(shape, 0xE53935), a));
        EXPECT_GE(a.frames.size(), 2u);
        EXPECT_NE(a.frames[0], a.frames[1]);
    }
    for (unsigned level = 1; level <= 3; ++level) {
        srvtest::Picture p;
        ASSERT_TRUE(srvtest::DecodePng(VipBadge(level), p));
        EXPECT_TRUE(seen.insert(VipBadge(level)).second);
    }
    srvtest::Animation car;
    ASSERT_TRUE(srvtest::DecodeGif(CarAnimation(0xD32F2F, 1), car));
    EXPECT_GE(car.frames.size(), 2u);
}

TEST(ServerArt, MedalsDifferPerGrade) {
    std::set<std::string> seen;
    for (unsigned g = 0; g <= kMaxMedalGrade; ++g) {
        srvtest::Picture p;
        ASSERT_TRUE(srvtest::DecodePng(WealthMedalPng(g), p)) << g;
        EXPECT_TRUE(seen.insert(WealthMedalPng(g)).second) << g;
    }
    EXPECT_TRUE(WealthMedalPng(kMaxMedalGrade + 1).empty());
}

TEST(ServerArt, MedalRouteServesEachGradeAndNothingElse) {
    CIoRunner io;
    CHttpServer http(io.io(), "medals");
    MountMedalRoute(http);
    std::string err;
    ASSERT_TRUE(http.Listen("127.0.0.1", 0, err)) << err;
    io.Start(1);
    httplib::Client cli("127.0.0.1", http.port());
    for (unsigned g : {0u, 1u, 9u, 10u, kMaxMedalGrade}) {
        const auto r = cli.Get(("/wealth/" + std::to_string(g) + ".png").c_str());
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(r->get_header_value("Content-Type"), "image/png");
        EXPECT_EQ(r->get_header_value("Content-Length"), std::to_string(r->body.size()));
        EXPECT_EQ(r->body, WealthMedalPng(g));
    }
    for (const char* bad : {"/wealth/31.png", "/wealth/01.png", "/wealth/-1.png", "/wealth/1.PNG",
                            "/wealth/1.png.png", "/wealth/", "/wealth/a.png", "/wealth/.png",
                            "/wealth/4294967297.png", "/wealth/1", "/wealth/1.png/", "/wealth/%31.png/x"}) {
        const auto r = cli.Get(bad);
        ASSERT_TRUE(r) << bad;
        EXPECT_EQ(r->status, 404) << bad;
        EXPECT_TRUE(r->has_header("Content-Length")) << bad;
    }
    http.Stop();
    io.Stop();
}

}  // namespace

#pragma once
// Writes small GIF files for the animation tests: solid-colour frames with
// chosen delays (hundredths of a second), LZW-coded with a clear code before
// every pixel so the code width never grows.

#include <QFile>

#include <cstdint>
#include <string>
#include <vector>

namespace duitest {

struct GifFrame {
    int colour;      // index into: 0 red, 1 green, 2 blue, 3 white
    int delay;       // hundredths of a second as stored in the file
};

inline bool WriteGif(const std::string& path, int w, int h, const std::vector<GifFrame>& frames) {
    std::vector<std::uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
    auto u16 = [&](int v) {
        b.push_back(static_cast<std::uint8_t>(v & 0xFF));
        b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    u16(w);
    u16(h);
    b.insert(b.end(), {0xF1, 0, 0});  // global table of 4 colours
    b.insert(b.end(), {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    // Loop forever.
    b.insert(b.end(), {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    for (const auto& f : frames) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0x04});
        u16(f.delay);
        b.insert(b.end(), {0, 0});
        b.push_back(0x2C);
        u16(0);
        u16(0);
        u16(w);
        u16(h);
        b.push_back(0);
        b.push_back(2);  // LZW minimum code size
        std::vector<std::uint8_t> data;
        std::uint32_t acc = 0;
        int bits = 0;
        auto put = [&](int code) {
            acc |= static_cast<std::uint32_t>(code) << bits;
            bits += 3;
            while (bits >= 8) {
                data.push_back(static_cast<std::uint8_t>(acc & 0xFF));
                acc >>= 8;
                bits -= 8;
            }
        };
        for (int i = 0; i < w * h; ++i) {
            put(4);  // clear
            put(f.colour);
        }
        put(5);  // end
        if (bits > 0) data.push_back(static_cast<std::uint8_t>(acc & 0xFF));
        for (std::size_t i = 0; i < data.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - i);
            b.push_back(static_cast<std::uint8_t>(n));
            b.insert(b.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
        }
        b.push_back(0);
    }
    b.push_back(0x3B);
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(reinterpret_cast<const char*>(b.data()), static_cast<qint64>(b.size())) ==
           static_cast<qint64>(b.size());
}

}  // namespace duitest

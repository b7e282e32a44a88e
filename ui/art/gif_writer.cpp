#include "ui/art/gif_writer.h"

#include <QFile>

#include <algorithm>
#include <map>
#include <unordered_map>

namespace art {

namespace {

// Variable-width LZW as GIF wants it, for 8-bit indices.
std::vector<std::uint8_t> Lzw(const std::vector<std::uint8_t>& in) {
    const int clear = 256, end = 257;
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int bits = 0, width = 9, next = 258;
    std::map<std::pair<int, int>, int> dict;
    auto put = [&](int code) {
        acc |= static_cast<std::uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<std::uint8_t>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    put(clear);
    int prefix = -1;
    for (std::uint8_t px : in) {
        if (prefix < 0) {
            prefix = px;
            continue;
        }
        auto it = dict.find({prefix, px});
        if (it != dict.end()) {
            prefix = it->second;
            continue;
        }
        put(prefix);
        if (next < 4096) {
            dict[{prefix, px}] = next++;
            // The decoder widens one code later than the encoder adds.
            if (next > (1 << width) && width < 12) ++width;
        } else {
            put(clear);
            dict.clear();
            next = 258;
            width = 9;
        }
        prefix = px;
    }
    if (prefix >= 0) put(prefix);
    put(end);
    if (bits > 0) out.push_back(static_cast<std::uint8_t>(acc & 0xFF));
    return out;
}

// Pixels that count as drawn, straight (not premultiplied) colours.
bool Opaque(QRgb c) { return qAlpha(c) >= 128; }
QRgb Solid(QRgb c) { return qRgb(qRed(c), qGreen(c), qBlue(c)); }

int Channel(QRgb c, int ch) { return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c); }

struct Box {
    std::vector<std::pair<QRgb, int>> colours;  // colour, pixel count
    int widest = 0;
    int range = 0;

    void Measure() {
        range = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (const auto& [c, n] : colours) {
                lo = std::min(lo, Channel(c, ch));
                hi = std::max(hi, Channel(c, ch));
            }
            if (hi - lo > range) {
                range = hi - lo;
                widest = ch;
            }
        }
    }
    QRgb Mean() const {
        double r = 0, g = 0, b = 0, total = 0;
        for (const auto& [c, n] : colours) {
            r += qRed(c) * double(n);
            g += qGreen(c) * double(n);
            b += qBlue(c) * double(n);
            total += n;
        }
        return qRgb(int(r / total + 0.5), int(g / total + 0.5), int(b / total + 0.5));
    }
};

int Distance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

}  // namespace

GifWriter::GifWriter(int w, int h, std::vector<QRgb> palette) : w_(w), h_(h), pal_(std::move(palette)) {
    pal_.resize(256, qRgb(0, 0, 0));
    Bytes("GIF89a");
    U16(w);
    U16(h);
    out_.push_back(0xF7);  // global table of 256 colours
    out_.push_back(0);
    out_.push_back(0);
    for (QRgb c : pal_) {
        out_.push_back(static_cast<std::uint8_t>(qRed(c)));
        out_.push_back(static_cast<std::uint8_t>(qGreen(c)));
        out_.push_back(static_cast<std::uint8_t>(qBlue(c)));
    }
    // Loops for ever.
    out_.insert(out_.end(), {0x21, 0xFF, 0x0B});
    Bytes("NETSCAPE2.0");
    out_.insert(out_.end(), {3, 1, 0, 0, 0});
}

void GifWriter::Frame(const std::vector<std::uint8_t>& indices, int delayHundredths) {
    if (finished_) return;
    out_.insert(out_.end(), {0x21, 0xF9, 4, 0x09});  // restore to background, transparency
    U16(delayHundredths);
    out_.push_back(0);  // transparent index
    out_.push_back(0);
    out_.push_back(0x2C);
    U16(0);
    U16(0);
    U16(w_);
    U16(h_);
    out_.push_back(0);
    out_.push_back(8);  // minimum code size
    const std::vector<std::uint8_t> data = Lzw(indices);
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        out_.push_back(static_cast<std::uint8_t>(n));
        out_.insert(out_.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
    }
    out_.push_back(0);
}

const std::vector<std::uint8_t>& GifWriter::Finish() {
    if (!finished_) out_.push_back(0x3B);
    finished_ = true;
    return out_;
}

bool GifWriter::Save(const QString& path) {
    Finish();
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(reinterpret_cast<const char*>(out_.data()), static_cast<qint64>(out_.size())) ==
           static_cast<qint64>(out_.size());
}

void GifWriter::Bytes(const char* s) {
    while (*s) out_.push_back(static_cast<std::uint8_t>(*s++));
}

void GifWriter::U16(int v) {
    out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

std::vector<QRgb> BuildPalette(const std::vector<QImage>& frames, int maxColours) {
    std::map<QRgb, int> counts;  // ordered, so the palette does not depend on hashing
    for (const QImage& frame : frames) {
        const QImage img = frame.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < img.height(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if (Opaque(row[x])) ++counts[Solid(row[x])];
        }
    }
    std::vector<QRgb> palette;
    if (maxColours <= 0 || counts.empty()) return palette;
    if (static_cast<int>(counts.size()) <= maxColours) {
        for (const auto& [c, n] : counts) palette.push_back(c);
        return palette;
    }

    std::vector<Box> boxes(1);
    boxes[0].colours.assign(counts.begin(), counts.end());
    boxes[0].Measure();
    while (static_cast<int>(boxes.size()) < maxColours) {
        // Split the box spanning the widest range; the first one on ties.
        int pick = -1;
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i)
            if (boxes[i].colours.size() > 1 && (pick < 0 || boxes[i].range > boxes[pick].range)) pick = i;
        if (pick < 0) break;
        Box& box = boxes[pick];
        const int ch = box.widest;
        std::stable_sort(box.colours.begin(), box.colours.end(),
                         [ch](const auto& a, const auto& b) { return Channel(a.first, ch) < Channel(b.first, ch); });
        long total = 0;
        for (const auto& e : box.colours) total += e.second;
        // Weighted median, keeping at least one colour on each side.
        std::size_t cut = 1;
        long seen = box.colours[0].second;
        while (cut + 1 < box.colours.size() && seen * 2 < total) seen += box.colours[cut++].second;
        Box upper;
        upper.colours.assign(box.colours.begin() + static_cast<long>(cut), box.colours.end());
        box.colours.resize(cut);
        box.Measure();
        upper.Measure();
        boxes.push_back(std::move(upper));
    }
    for (const Box& b : boxes) palette.push_back(b.Mean());
    return palette;
}

std::vector<std::uint8_t> EncodeAnimation(const std::vector<QImage>& frames, const std::vector<int>& delaysMs) {
    if (frames.empty() || frames.size() != delaysMs.size()) return {};
    const QSize size = frames.front().size();
    for (const QImage& f : frames)
        if (f.size() != size) return {};

    std::vector<QRgb> palette = {qRgb(0, 0, 0)};  // index 0: transparent
    for (QRgb c : BuildPalette(frames, 255)) palette.push_back(c);
    std::unordered_map<QRgb, std::uint8_t> nearest;
    auto indexOf = [&](QRgb c) {
        auto it = nearest.find(c);
        if (it != nearest.end()) return it->second;
        std::size_t best = 1;
        for (std::size_t i = 2; i < palette.size(); ++i)
            if (Distance(c, palette[i]) < Distance(c, palette[best])) best = i;
        return nearest[c] = static_cast<std::uint8_t>(best);
    };

    GifWriter gif(size.width(), size.height(), palette);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const QImage img = frames[i].convertToFormat(QImage::Format_ARGB32);
        std::vector<std::uint8_t> idx(static_cast<std::size_t>(size.width() * size.height()), 0);
        for (int y = 0; y < img.height(); ++y) {
            const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if (Opaque(row[x])) idx[static_cast<std::size_t>(y * size.width() + x)] = indexOf(Solid(row[x]));
        }
        gif.Frame(idx, std::max(1, (delaysMs[i] + 5) / 10));
    }
    return gif.Finish();
}

bool SaveAnimation(const QString& path, const std::vector<QImage>& frames, const std::vector<int>& delaysMs) {
    const std::vector<std::uint8_t> bytes = EncodeAnimation(frames, delaysMs);
    if (bytes.empty()) return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

}  // namespace art

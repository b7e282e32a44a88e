#pragma once
// A small GIF encoder for the build's art programs: one global palette of up
// to 256 colours, index 0 transparent, every frame full size, looping for
// ever.

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace art {

class GifWriter {
public:
    GifWriter(int w, int h, std::vector<QRgb> palette);
    // `indices` holds w * h palette indices, row by row.
    void Frame(const std::vector<std::uint8_t>& indices, int delayHundredths);
    // Ends the stream; the writer takes no more frames afterwards.
    const std::vector<std::uint8_t>& Finish();
    bool Save(const QString& path);

private:
    void Bytes(const char* s);
    void U16(int v);

    int w_, h_;
    std::vector<QRgb> pal_;
    std::vector<std::uint8_t> out_;
    bool finished_ = false;
};

// At most `maxColours` colours for the pixels of `frames` that are at least
// half covered, by median cut; exact when the frames use no more than that.
std::vector<QRgb> BuildPalette(const std::vector<QImage>& frames, int maxColours);

// Frames of one size drawn with alpha into a GIF: a pixel under half
// coverage becomes transparent, the others take the nearest colour of a
// palette shared by all frames. Delays are rounded to hundredths.
std::vector<std::uint8_t> EncodeAnimation(const std::vector<QImage>& frames, const std::vector<int>& delaysMs);
bool SaveAnimation(const QString& path, const std::vector<QImage>& frames, const std::vector<int>& delaysMs);

}  // namespace art

#pragma once
// A picture that may be animated (GIF) or still (PNG, JPEG, ...): its frames
// decoded once, with each frame's delay.
//
// Delay rule: a frame is shown for its stored delay (hundredths of a
// second) x 10 ms, and never less than 100 ms - files that ask for 0-90 ms
// would otherwise spin the UI thread.

#include <QImage>
#include <QRect>

#include <string>
#include <vector>

class QPainter;

class AnimatedPicture {
public:
    static constexpr int kMinDelayMs = 100;
    // Delay of a frame from its stored value in hundredths of a second.
    static int DelayFromStored(int hundredths);
    // The image reader reports delays in milliseconds (the stored value
    // already x 10); this turns that back into the rule above.
    static int DelayFromReaderMs(int ms);

    // Releases the previous picture; false for an empty path or a file
    // that cannot be decoded (the picture is then empty).
    bool Load(const std::string& path);
    void Release();

    bool IsLoaded() const { return !frames_.empty(); }
    bool IsAnimated() const { return frames_.size() > 1; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    int CurrentFrame() const { return current_; }
    // Delay of frame n (the current frame for -1); 0 when still or out of range.
    int FrameDelay(int n = -1) const;
    int Width() const;
    int Height() const;
    const QImage& Frame(int n) const;
    // Selects the frame and draws it scaled into the rectangle.
    void Draw(QPainter& p, const QRect& rc, int frame);

private:
    std::vector<QImage> frames_;
    std::vector<int> delays_;  // only for animated pictures
    int current_ = 0;
};

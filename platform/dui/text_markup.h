#pragma once
// The one-line text markup of labels, list items and menu elements, parsed
// into runs and laid out without drawing (no Qt), so that what a line shows
// can be checked exactly. draw.h draws the result.
//
// Tags (anything else, and any "<" that does not open one of them, is text):
//   <x n>            move the pen n pixels right
//   <i name>         inline image by name; also <i file='name'>
//   <e name w h>     inline image drawn at w x h pixels
//   <w n>            tab stop: move the pen to n pixels from the line start,
//                    unless it is already past that point
//   <c #RRGGBB> </c> text colour (also #AARRGGBB)
//   <f n> </f>       font n of the window's font list
// Texts are inserted into templates unescaped, so a nickname may contain
// tag-like text; only these tags ever take effect, an unmatched closing tag
// is ignored, and an image tag with an empty name draws nothing.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dui {

struct TextRun {
    enum Kind { kText, kImage, kMove, kTab };
    Kind kind = kText;
    std::string text;      // kText: UTF-8 text; kImage: image name or file
    int width = 0;         // kImage from <e>: forced size; 0 = the image's own
    int height = 0;
    int amount = 0;        // kMove: pixels; kTab: stop position
    bool hasColor = false; // kText: colour given by <c>
    std::uint32_t color = 0;  // 0xAARRGGBB
    int font = -1;         // kText: font index from <f>, -1 = the control's font

    bool operator==(const TextRun&) const = default;
};

std::vector<TextRun> ParseTextMarkup(std::string_view markup);

// The text of the runs without tags (tooltips, the headless view, search).
std::string MarkupPlainText(std::string_view markup);

// Where each run goes on the line.
struct PlacedRun {
    std::size_t run = 0;  // index into the runs
    int x = 0;
    int width = 0;
    int height = 0;
};

struct RunMetrics {
    // Width of the text in the given font (-1 = the control's font).
    std::function<int(std::string_view text, int font)> textWidth;
    // Natural size of a named image; {0,0} when there is no such image.
    std::function<std::pair<int, int>(const std::string& image)> imageSize;
};

// Lays the runs out on one line starting at x = 0. Moves and tab stops place
// nothing; images that do not exist take no room.
std::vector<PlacedRun> LayoutTextRuns(const std::vector<TextRun>& runs, const RunMetrics& m);

}  // namespace dui

#pragma once
// Drawing helpers shared by the controls: skin images (cut, placed,
// nine-sliced, faded) and one-line text, plain or in the text markup.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <string_view>

#include "platform/dui/skin_model.h"
#include "platform/dui/text_markup.h"

class CSkinManager;
class QPainter;

namespace dui {

// False when the image file cannot be read.
bool DrawSkinImage(QPainter& p, CSkinManager& m, const QRect& rc, const ImageDesc& image);

// Qt alignment flags for our align bits.
Qt::Alignment ToQtAlign(unsigned align);

// Run metrics of a window: fonts from its list, images from its skin folder.
RunMetrics WindowRunMetrics(CSkinManager& m, const QFont& baseFont);

// Draws one line of text markup into the rectangle (clipped to it), runs
// centred vertically, the line placed by the horizontal align bits.
// Returns the runs as drawn, relative to the line start.
std::vector<PlacedRun> DrawMarkupLine(QPainter& p, CSkinManager& m, const QRect& rc, std::string_view markup,
                                      const QFont& font, const QColor& color, unsigned align);

// Plain text; one line unless `wrap`; "…" at the end when it does not fit
// and `endEllipsis`.
void DrawPlainText(QPainter& p, const QRect& rc, const QString& text, const QFont& font, const QColor& color,
                   unsigned align, bool endEllipsis, bool wrap);

}  // namespace dui

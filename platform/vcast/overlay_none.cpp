// Builds without Qt (benchmarks, fuzzers) compose without overlays.
#include "platform/vcast/overlay.h"

struct COverlayPainter::Impl {};

COverlayPainter::COverlayPainter() = default;
COverlayPainter::~COverlayPainter() = default;

void COverlayPainter::Paint(VcastPicture&, const EffectSettings&, const std::string&,
                            const std::string&, std::uint32_t) {}

bool COverlayPainter::CanPaintText() { return false; }

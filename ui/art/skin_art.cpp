// Draws the room window's pictures into a skin folder: every icon, the
// signal bars, the inline badges and the waiting and voice-clip animations. The build runs
// it once per change of this file, so the art is ours and never checked in
// as binaries.
//
// Pictures that the skin stretches into a control (button icons, the
// signal bars, backgrounds) are drawn at twice their size on screen, so they
// stay sharp on high-density screens. Pictures that the text markup places
// inline (the gag mark, the notice icon, the people icon) are drawn at the
// size they take on the line, and at twice that as "name@2x.png", which the
// window takes on a dense screen.
//
// The program's icon for desktop menus is the same logo, drawn into an
// icon theme's folders when a second folder is given.
//
// Usage: zeri_skin_art OUTPUT_FOLDER [ICON_FOLDER]

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ui/art/gif_writer.h"

namespace {

const QColor kInk(0xD8, 0xDC, 0xE8);      // icon strokes on the dark panels
const QColor kAccent(0xFF, 0x4F, 0x8B);   // the room's pink
const QColor kTeal(0x38, 0x99, 0xA7);     // links and numbers
const QColor kGold(0xF5, 0xB8, 0x3D);
const QColor kGreen(0x4C, 0xD1, 0x7A);
const QColor kRed(0xF0, 0x50, 0x50);

QString g_out;
int g_failures = 0;

// Icons are drawn on a 24 x 24 grid scaled to the picture.
using Drawer = std::function<void(QPainter&)>;

void Save(const QImage& img, const QString& name) {
    const QString path = g_out + "/" + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "skin art: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

QImage Canvas(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// The program's mark: a play triangle on the room's pink-to-violet tile,
// for live voice and video.
QImage Logo(int px) {
    QImage img = Canvas(px, px);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 24.0, px / 24.0);
    QLinearGradient g(0, 0, 24, 24);
    g.setColorAt(0, kAccent);
    g.setColorAt(1, QColor(0x8A, 0x4B, 0xFF));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, 22, 22), 6, 6);
    p.setBrush(QColor(255, 255, 255, 235));
    QPainterPath tri;
    tri.moveTo(9.5, 7);
    tri.lineTo(17, 12);
    tri.lineTo(9.5, 17);
    tri.closeSubpath();
    p.drawPath(tri);
    p.end();
    return img;
}

void Icon(const QString& name, int px, const Drawer& draw, QColor ink = kInk) {
    QImage img = Canvas(px, px);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(px / 24.0, px / 24.0);
    QPen pen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    draw(p);
    p.end();
    Save(img, name);
}

void Slash(QPainter& p) {
    p.save();
    p.setPen(QPen(kRed, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(20, 20));
    p.restore();
}

void Mic(QPainter& p) {
    p.drawRoundedRect(QRectF(9, 3, 6, 11), 3, 3);
    p.drawArc(QRectF(6, 6, 12, 11), 180 * 16, 180 * 16);
    p.drawLine(QPointF(12, 17), QPointF(12, 21));
    p.drawLine(QPointF(9, 21), QPointF(15, 21));
}

void Speaker(QPainter& p) {
    QPainterPath body;
    body.moveTo(4, 9);
    body.lineTo(8, 9);
    body.lineTo(13, 5);
    body.lineTo(13, 19);
    body.lineTo(8, 15);
    body.lineTo(4, 15);
    body.closeSubpath();
    p.drawPath(body);
}

void Camera(QPainter& p) {
    p.drawRoundedRect(QRectF(3, 7, 13, 10), 2, 2);
    QPainterPath lens;
    lens.moveTo(16, 10.5);
    lens.lineTo(21, 7.5);
    lens.lineTo(21, 16.5);
    lens.lineTo(16, 13.5);
    p.drawPath(lens);
}

QPainterPath Star(QPointF c, double outer, double inner) {
    QPainterPath s;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? inner : outer;
        const double a = -M_PI / 2 + i * M_PI / 5;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0) s.moveTo(pt);
        else s.lineTo(pt);
    }
    s.closeSubpath();
    return s;
}

void Gear(QPainter& p) {
    QPainterPath g;
    const QPointF c(12, 12);
    for (int i = 0; i < 16; ++i) {
        const double r = (i / 2) % 2 ? 6.5 : 9.0;
        const double a = i * M_PI / 8 + M_PI / 16;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0) g.moveTo(pt);
        else g.lineTo(pt);
    }
    g.closeSubpath();
    p.drawPath(g);
    p.drawEllipse(c, 2.8, 2.8);
}

// A voice clip's icon in a chat line: the first `count` of its three waves.
void SoundWaves(QPainter& p, int count) {
    p.setPen(QPen(kTeal, 2.0, Qt::SolidLine, Qt::RoundCap));
    const QRectF waves[] = {QRectF(2, 6, 8, 12), QRectF(0, 2, 16, 20), QRectF(-2, -2, 24, 28)};
    for (int i = 0; i < count && i < 3; ++i) p.drawArc(waves[i], -50 * 16, 100 * 16);
}

// ---- the waiting animation: a ring of dots, one bright dot going round ----

void WaitingAnimation() {
    const int size = 48, frames = 12, dots = 12;
    // Palette: 0 transparent, 1..16 shades from the panel colour to the accent.
    std::vector<QRgb> pal = {qRgb(0, 0, 0)};
    const QColor dim(0x4A, 0x50, 0x66);
    for (int i = 0; i < 16; ++i) {
        const double t = i / 15.0;
        pal.push_back(qRgb(static_cast<int>(dim.red() + (kAccent.red() - dim.red()) * t),
                           static_cast<int>(dim.green() + (kAccent.green() - dim.green()) * t),
                           static_cast<int>(dim.blue() + (kAccent.blue() - dim.blue()) * t)));
    }
    art::GifWriter gif(size, size, pal);
    for (int f = 0; f < frames; ++f) {
        // Drawn large without smoothing of the edges into the palette:
        // each dot gets one shade, its edge is cut at half coverage.
        std::vector<std::uint8_t> idx(static_cast<std::size_t>(size * size), 0);
        for (int d = 0; d < dots; ++d) {
            const int age = (f - d + dots) % dots;  // 0 = the bright head
            const int shade = std::max(1, 16 - age * 2);
            const double a = d * 2 * M_PI / dots - M_PI / 2;
            const double cx = size / 2.0 + 17 * std::cos(a), cy = size / 2.0 + 17 * std::sin(a);
            const double r = age == 0 ? 4.2 : 3.4;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
                    if (dx * dx + dy * dy <= r * r) idx[static_cast<std::size_t>(y * size + x)] =
                        static_cast<std::uint8_t>(shade);
                }
        }
        gif.Frame(idx, 8);
    }
    if (!gif.Save(g_out + "/wait_image.gif")) {
        std::fprintf(stderr, "skin art: cannot write wait_image.gif\n");
        ++g_failures;
    }
}

// ---- a given flower: it swells, rises and fades; the room shows the flower
// button again when it wraps ----

void FlowerAnimation() {
    const int size = 56, frames = 10;  // shown at 28 x 28
    std::vector<QImage> images;
    for (int f = 0; f < frames; ++f) {
        QImage img = Canvas(size, size);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const double t = f / double(frames - 1);
        p.setOpacity(1.0 - 0.6 * t);
        p.translate(size / 2.0, size / 2.0 + 4 - 14 * t);
        p.scale(1.6 + 0.8 * t, 1.6 + 0.8 * t);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawRect(QRectF(-0.8, 3, 1.6, 10));
        p.setBrush(kAccent);
        for (int i = 0; i < 5; ++i) {
            const double a = i * 2 * M_PI / 5 - M_PI / 2 + t;
            p.drawEllipse(QPointF(4 * std::cos(a), 4 * std::sin(a)), 3.2, 3.2);
        }
        p.setBrush(kGold);
        p.drawEllipse(QPointF(0, 0), 2.4, 2.4);
        p.end();
        images.push_back(img);
    }
    if (!art::SaveAnimation(g_out + "/flower_give.gif", images, std::vector<int>(frames, 100))) {
        std::fprintf(stderr, "skin art: cannot write flower_give.gif\n");
        ++g_failures;
    }
}

// ---- a voice clip while it plays: its waves appear one by one, at the
// still icon's size so the line does not move when the icon swaps ----

void VoiceClipPlaying() {
    const int size = 20, frames = 3, delayMs = 300;
    std::vector<QImage> images;
    for (int f = 0; f < frames; ++f) {
        QImage img = Canvas(size, size);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        SoundWaves(p, f + 1);
        p.end();
        images.push_back(img);
    }
    if (!art::SaveAnimation(g_out + "/chat_sound_push.gif", images, std::vector<int>(frames, delayMs))) {
        std::fprintf(stderr, "skin art: cannot write chat_sound_push.gif\n");
        ++g_failures;
    }
}

// ---- the signal bars: sign_1 (best) .. sign_6 (none) ----

void SignalBars() {
    const int w = 40, h = 32;  // shown at 20 x 16
    for (int level = 1; level <= 6; ++level) {
        QImage img = Canvas(w, h);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const int lit = 6 - level;  // 5 bars for the best signal, none for the worst
        const QColor on = level <= 2 ? kGreen : level <= 4 ? kGold : kRed;
        for (int b = 0; b < 5; ++b) {
            const double bh = 6 + b * 5.5;
            const QRectF r(2 + b * 7.6, h - 2 - bh, 5.2, bh);
            p.setPen(Qt::NoPen);
            p.setBrush(b < lit ? on : QColor(0x5A, 0x60, 0x75));
            p.drawRoundedRect(r, 1.5, 1.5);
        }
        if (lit == 0) {
            p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(26, 4), QPointF(36, 14));
            p.drawLine(QPointF(36, 4), QPointF(26, 14));
        }
        p.end();
        Save(img, QString("sign_%1.png").arg(level));
    }
}

// ---- inline badges (pixel size = size on the line) ----

// An inline picture at the size it takes on the line, and as "name@2x.png"
// at twice that for dense screens (the window takes it there).
void InlineIcon(const QString& name, int px, const Drawer& draw, QColor ink = kInk) {
    Icon(name, px, draw, ink);
    const int dot = name.lastIndexOf('.');
    Icon(name.left(dot) + "@2x" + name.mid(dot), 2 * px, draw, ink);
}

void InlineBadges() {
    // The gag mark: a small red microphone crossed out.
    InlineIcon("gag.png", 16, [](QPainter& p) {
        p.setPen(QPen(kRed, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        Mic(p);
        p.drawLine(QPointF(3, 3), QPointF(21, 21));
    });
    // Entries and departures in the notice line: a small bell.
    InlineIcon("near_notify.png", 16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGold);
        QPainterPath bell;
        bell.moveTo(5, 17);
        bell.cubicTo(7, 15, 6, 5, 12, 5);
        bell.cubicTo(18, 5, 17, 15, 19, 17);
        bell.closeSubpath();
        p.drawPath(bell);
        p.drawEllipse(QPointF(12, 19.5), 2.2, 2.2);
        p.drawEllipse(QPointF(12, 4), 1.6, 1.6);
    });
    InlineIcon("Im/people.png", 14, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kTeal);
        p.drawEllipse(QPointF(12, 8), 4.5, 4.5);
        p.drawPie(QRectF(4, 13, 16, 16), 0, 180 * 16);
    });
    InlineIcon("spearking.png", 16, [](QPainter& p) {
        p.setPen(QPen(kGreen, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        Speaker(p);
        p.drawArc(QRectF(11, 8, 6, 8), -60 * 16, 120 * 16);
        p.drawArc(QRectF(11, 5, 10, 14), -60 * 16, 120 * 16);
    });
    InlineIcon("un_speark.png", 16, [](QPainter& p) { Speaker(p); }, QColor(0x7A, 0x80, 0x95));
    InlineIcon("speark_icon.png", 16, [](QPainter& p) {
        p.setPen(QPen(kAccent, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        Mic(p);
    });
    InlineIcon("userinfo/level.png", 16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGold);
        p.drawPath(Star(QPointF(12, 12.5), 10, 4.5));
    });
    InlineIcon("chat_sound_normal.png", 20, [](QPainter& p) { SoundWaves(p, 3); });
}

// ---- stretched pictures (drawn at twice their size on screen) ----

void Pictures() {
    const int k = 48;  // 24 px on screen
    Icon("sys_min.png", k, [](QPainter& p) { p.drawLine(QPointF(6, 13), QPointF(18, 13)); });
    Icon("sys_max.png", k, [](QPainter& p) { p.drawRect(QRectF(6, 6, 12, 12)); });
    Icon("sys_restore.png", k, [](QPainter& p) {
        p.drawRect(QRectF(5, 9, 10, 10));
        p.drawPolyline(QPolygonF({QPointF(9, 9), QPointF(9, 5), QPointF(19, 5), QPointF(19, 15), QPointF(15, 15)}));
    });
    Icon("sys_close.png", k, [](QPainter& p) {
        p.drawLine(QPointF(7, 7), QPointF(17, 17));
        p.drawLine(QPointF(17, 7), QPointF(7, 17));
    });
    Icon("sys_set.png", k, Gear);
    Icon("history.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(12, 12), 8, 8);
        p.drawPolyline(QPolygonF({QPointF(12, 7.5), QPointF(12, 12), QPointF(15.5, 14)}));
    });
    Icon("store.png", k, [](QPainter& p) { p.drawPath(Star(QPointF(12, 12.8), 9, 4)); });
    Icon("store_on.png", k, [](QPainter& p) {
        p.setBrush(kGold);
        p.setPen(QPen(kGold, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(Star(QPointF(12, 12.8), 9, 4));
    });
    Icon("face.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        p.drawArc(QRectF(7.5, 8, 9, 8), -20 * 16, -140 * 16);
        p.setBrush(kInk);
        p.drawEllipse(QPointF(9, 10), 0.8, 0.8);
        p.drawEllipse(QPointF(15, 10), 0.8, 0.8);
    });
    Icon("image.png", k, [](QPainter& p) {
        p.drawRoundedRect(QRectF(3.5, 5, 17, 14), 2, 2);
        p.drawPolyline(QPolygonF({QPointF(4, 17), QPointF(9.5, 11.5), QPointF(13, 15), QPointF(15.5, 12.5), QPointF(20, 17)}));
        p.drawEllipse(QPointF(15.5, 9), 1.5, 1.5);
    });
    // The voice-message button: a microphone between two waves.
    Icon("voice_msg.png", k, [](QPainter& p) {
        Mic(p);
        p.drawArc(QRectF(1.5, 5, 6, 8), 120 * 16, 120 * 16);
        p.drawArc(QRectF(16.5, 5, 6, 8), -60 * 16, 120 * 16);
    });
    Icon("screencut.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(7, 17), 3, 3);
        p.drawEllipse(QPointF(17, 17), 3, 3);
        p.drawLine(QPointF(9, 15), QPointF(17, 4));
        p.drawLine(QPointF(15, 15), QPointF(7, 4));
    });
    Icon("mic_on.png", k, Mic);
    Icon("mic_off.png", k, [](QPainter& p) {
        Mic(p);
        Slash(p);
    });
    Icon("fm_on.png", k, [](QPainter& p) {
        Speaker(p);
        p.drawArc(QRectF(11, 8, 6, 8), -60 * 16, 120 * 16);
        p.drawArc(QRectF(11, 5, 10, 14), -60 * 16, 120 * 16);
    });
    Icon("fm_off.png", k, [](QPainter& p) {
        Speaker(p);
        p.drawLine(QPointF(16, 9), QPointF(21, 15));
        p.drawLine(QPointF(21, 9), QPointF(16, 15));
    });
    Icon("video_on.png", k, Camera);
    Icon("video_off.png", k, [](QPainter& p) {
        Camera(p);
        Slash(p);
    });
    Icon("anchor_on.png", k, [](QPainter& p) {
        // A microphone with a rising arrow: take the anchor's place.
        p.drawRoundedRect(QRectF(5, 5, 6, 10), 3, 3);
        p.drawArc(QRectF(3, 8, 10, 10), 180 * 16, 180 * 16);
        p.drawLine(QPointF(8, 18), QPointF(8, 21));
        p.drawLine(QPointF(17, 20), QPointF(17, 5));
        p.drawPolyline(QPolygonF({QPointF(13.5, 8.5), QPointF(17, 5), QPointF(20.5, 8.5)}));
    });
    Icon("anchor_off.png", k, [](QPainter& p) {
        p.drawRoundedRect(QRectF(5, 5, 6, 10), 3, 3);
        p.drawArc(QRectF(3, 8, 10, 10), 180 * 16, 180 * 16);
        p.drawLine(QPointF(8, 18), QPointF(8, 21));
        p.drawLine(QPointF(17, 5), QPointF(17, 20));
        p.drawPolyline(QPolygonF({QPointF(13.5, 16.5), QPointF(17, 20), QPointF(20.5, 16.5)}));
    });
    Icon("keyspeaker.png", k, [](QPainter& p) {
        p.drawRoundedRect(QRectF(2.5, 6.5, 19, 11), 2, 2);
        for (int i = 0; i < 5; ++i) p.drawPoint(QPointF(5.5 + i * 3.2, 10));
        p.drawLine(QPointF(8, 14), QPointF(16, 14));
    });
    Icon("music.png", k, [](QPainter& p) {
        p.drawLine(QPointF(9, 17), QPointF(9, 5));
        p.drawLine(QPointF(9, 5), QPointF(19, 3));
        p.drawLine(QPointF(19, 3), QPointF(19, 15));
        p.setBrush(kInk);
        p.drawEllipse(QPointF(6.5, 17.5), 2.6, 2.2);
        p.drawEllipse(QPointF(16.5, 15.5), 2.6, 2.2);
    });
    Icon("bbs.png", k, [](QPainter& p) {
        QPainterPath b;
        b.addRoundedRect(QRectF(3, 4, 18, 12), 3, 3);
        p.drawPath(b);
        p.drawPolyline(QPolygonF({QPointF(8, 16), QPointF(7, 20), QPointF(12, 16)}));
        p.drawLine(QPointF(7, 9), QPointF(17, 9));
        p.drawLine(QPointF(7, 12), QPointF(14, 12));
    });
    Icon("record.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(12, 12), 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
    });
    Icon("record_stop.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(12, 12), 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRect(QRectF(8.5, 8.5, 7, 7));
    });
    Icon("property.png", k, [](QPainter& p) {
        for (int i = 0; i < 3; ++i) {
            const double y = 6 + i * 6;
            p.drawLine(QPointF(4, y), QPointF(20, y));
            p.setBrush(QColor(0x2A, 0x2F, 0x45));
            p.drawEllipse(QPointF(i == 1 ? 15 : 8, y), 2.3, 2.3);
        }
    });
    Icon("flower.png", k, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawRect(QRectF(11.2, 12, 1.6, 10));
        p.drawEllipse(QRectF(12, 15, 6, 3));
        p.setBrush(kAccent);
        for (int i = 0; i < 5; ++i) {
            const double a = i * 2 * M_PI / 5 - M_PI / 2;
            p.drawEllipse(QPointF(12 + 4 * std::cos(a), 9 + 4 * std::sin(a)), 3.2, 3.2);
        }
        p.setBrush(kGold);
        p.drawEllipse(QPointF(12, 9), 2.4, 2.4);
    }, kAccent);
    Icon("prop.png", k, [](QPainter& p) {
        p.drawRect(QRectF(4, 10, 16, 10));
        p.drawRect(QRectF(3, 7, 18, 3));
        p.drawLine(QPointF(12, 7), QPointF(12, 20));
        p.drawArc(QRectF(7, 3, 5, 5), 0, 270 * 16);
        p.drawArc(QRectF(12, 3, 5, 5), -90 * 16, 270 * 16);
    });
    Icon("money.png", k, [](QPainter& p) {
        p.setPen(QPen(kGold, 1.8));
        p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
        p.drawLine(QPointF(9, 8), QPointF(12, 12));
        p.drawLine(QPointF(15, 8), QPointF(12, 12));
        p.drawLine(QPointF(12, 12), QPointF(12, 17));
        p.drawLine(QPointF(9, 13), QPointF(15, 13));
    }, kGold);
    Icon("search.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(10.5, 10.5), 5.5, 5.5);
        p.drawLine(QPointF(14.5, 14.5), QPointF(19.5, 19.5));
    });
    // The item panels' page buttons; dimmed on the first and the last page.
    for (const bool on : {true, false}) {
        const QColor ink = on ? kInk : QColor(0x4A, 0x50, 0x66);
        const QString off = on ? "" : "_off";
        Icon("page_up" + off + ".png", 16, [](QPainter& p) {
            p.drawPolyline(QPolygonF({QPointF(6, 15), QPointF(12, 9), QPointF(18, 15)}));
        }, ink);
        Icon("page_down" + off + ".png", 16, [](QPainter& p) {
            p.drawPolyline(QPolygonF({QPointF(6, 9), QPointF(12, 15), QPointF(18, 9)}));
        }, ink);
    }
    Icon("close_small.png", k, [](QPainter& p) {
        p.drawLine(QPointF(8, 8), QPointF(16, 16));
        p.drawLine(QPointF(16, 8), QPointF(8, 16));
    });
    Icon("sign.png", k, [](QPainter& p) {
        p.drawRoundedRect(QRectF(4, 5, 16, 15), 2, 2);
        p.drawLine(QPointF(4, 9), QPointF(20, 9));
        p.drawLine(QPointF(8, 3), QPointF(8, 6));
        p.drawLine(QPointF(16, 3), QPointF(16, 6));
        p.drawPolyline(QPolygonF({QPointF(8.5, 14.5), QPointF(11, 17), QPointF(15.5, 12)}));
    });
    Icon("card.png", k, [](QPainter& p) {
        p.drawEllipse(QPointF(12, 13), 8, 8);
        p.drawPolyline(QPolygonF({QPointF(12, 9), QPointF(12, 13), QPointF(15, 13)}));
        p.drawLine(QPointF(9, 3), QPointF(15, 3));
    });
    Icon("menu_check.png", 32, [](QPainter& p) {
        p.drawPolyline(QPolygonF({QPointF(5, 12.5), QPointF(10, 17.5), QPointF(19, 7)}));
    }, QColor(0x33, 0x33, 0x33));

    // The default head picture of system lines.
    {
        QImage img = Canvas(64, 64);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x4A, 0x50, 0x66));
        p.drawEllipse(QRectF(0, 0, 64, 64));
        p.setBrush(kInk);
        p.drawEllipse(QPointF(32, 25), 11, 11);
        p.drawChord(QRectF(12, 40, 40, 36), 0, 180 * 16);
        p.end();
        Save(img, "normal_head.png");
    }
    // The logo of a room in the history list, and of the title bar.
    Save(Logo(104), "room_logo.png");
    Save(Logo(48), "logo.png");
    // The video area behind the waiting animation: a dark vignette with a
    // faint stage light.
    {
        const int w = 640, h = 480;
        QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(w / 2.0, h * 0.38), w * 0.7);
        g.setColorAt(0, QColor(0x2C, 0x2F, 0x48));
        g.setColorAt(1, QColor(0x0E, 0x10, 0x18));
        p.fillRect(img.rect(), g);
        p.end();
        Save(img, "video_bg.png");
    }
}

// The program's icon for the desktop's menus, in the sizes of the icon
// theme's folders: ICON_FOLDER/hicolor/<n>x<n>/apps/zeri.png.
void DesktopIcons(const QString& folder) {
    for (int px : {16, 24, 32, 48, 64, 128, 256}) {
        const QString name = QString("hicolor/%1x%1/apps/zeri.png").arg(px);
        const QString path = folder + "/" + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!Logo(px).save(path, "PNG")) {
            std::fprintf(stderr, "skin art: cannot write %s\n", qPrintable(path));
            ++g_failures;
        }
    }
}

// The marks of the moderation dialogs' choices on their light card: check
// boxes for the reasons (several may hold), round marks for the single
// choices. Drawn at twice the 16 px they take.
void ChoiceMarks() {
    const QColor frame(0x9A, 0xA0, 0xB5);
    for (bool on : {false, true}) {
        Icon(on ? "check_box_on.png" : "check_box.png", 32, [on, frame](QPainter& p) {
            p.setPen(QPen(on ? kTeal : frame, 1.6));
            p.setBrush(on ? kTeal : QColor(Qt::white));
            p.drawRoundedRect(QRectF(4, 4, 16, 16), 3, 3);
            if (!on) return;
            p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(7.5, 12.5), QPointF(10.5, 15.5), QPointF(16.5, 8.5)}));
        });
        Icon(on ? "radio_on.png" : "radio.png", 32, [on, frame](QPainter& p) {
            p.setPen(QPen(on ? kTeal : frame, 1.6));
            p.setBrush(QColor(Qt::white));
            p.drawEllipse(QPointF(12, 12), 8, 8);
            if (!on) return;
            p.setPen(Qt::NoPen);
            p.setBrush(kTeal);
            p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
        });
    }
}

// The gift banner's four plates: a translucent ribbon in one hue, brighter
// where the gift's icon sits. Drawn at the size the banner takes on screen,
// since the banner window is exactly its background.
void GiftBanners() {
    const struct {
        const char* name;
        QColor deep, light;
    } plates[] = {{"gift_bg_blue.png", QColor(0x1E, 0x4F, 0xC8), QColor(0x5C, 0xB8, 0xFF)},
                  {"gift_bg_red.png", QColor(0xB8, 0x1E, 0x3A), QColor(0xFF, 0x6F, 0x7F)},
                  {"gift_bg_violet.png", QColor(0x5A, 0x2A, 0xB8), QColor(0xB5, 0x7C, 0xFF)},
                  {"gift_bg_yellow.png", QColor(0xC0, 0x80, 0x10), QColor(0xFF, 0xD8, 0x4A)}};
    const int w = 360, h = 72;
    for (const auto& plate : plates) {
        QImage img = Canvas(w, h);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient ribbon(0, 0, w, 0);
        QColor clear = plate.deep;
        clear.setAlpha(0);
        QColor deep = plate.deep;
        deep.setAlpha(225);
        ribbon.setColorAt(0, clear);
        ribbon.setColorAt(0.18, deep);
        ribbon.setColorAt(1, deep);
        p.setPen(Qt::NoPen);
        p.setBrush(ribbon);
        p.drawRoundedRect(QRectF(0, 4, w, h - 8), (h - 8) / 2.0, (h - 8) / 2.0);
        QRadialGradient glow(QPointF(230, h / 2.0), 70);
        QColor light = plate.light;
        light.setAlpha(200);
        glow.setColorAt(0, light);
        light.setAlpha(0);
        glow.setColorAt(1, light);
        p.setBrush(glow);
        p.drawEllipse(QPointF(230, h / 2.0), 70, h / 2.0);
        p.setPen(QPen(QColor(255, 255, 255, 90), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(40.5, 4.5, w - 41, h - 9), (h - 9) / 2.0, (h - 9) / 2.0);
        for (int i = 0; i < 6; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 150 - i * 18));
            p.drawPath(Star(QPointF(300 + i * 9, 14 + (i % 3) * 20), 3 - i * 0.3, 1.2));
        }
        p.end();
        Save(img, plate.name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: zeri_skin_art OUTPUT_FOLDER [ICON_FOLDER]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    g_out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "skin art: cannot make %s\n", argv[1]);
        return 1;
    }
    SignalBars();
    InlineBadges();
    Pictures();
    WaitingAnimation();
    FlowerAnimation();
    VoiceClipPlaying();
    ChoiceMarks();
    GiftBanners();
    if (argc == 3) DesktopIcons(QString::fromLocal8Bit(argv[2]));
    return g_failures == 0 ? 0 : 1;
}

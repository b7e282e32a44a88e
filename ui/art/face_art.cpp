// Draws the chat face set into a skin folder: one picture per face under
// Face/ (PNG, or GIF for the animated ones) and the table Face/FaceConfig.xml
// that names them. The table below is the one source of ids, tags, tips and
// texts; the file is written in a fixed order so that it only changes when
// the table does.
//
// Faces are drawn at the size they take on a chat line (the chat view shows
// pictures at their own size), on a 32-unit grid scaled to the picture.
//
// Usage: zeri_face_art SKIN_FOLDER

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ui/art/gif_writer.h"

namespace {

constexpr int kPixels = 28;
constexpr double kUnit = kPixels / 32.0;
constexpr int kCols = 10;

QString g_out;
int g_failures = 0;

// ---- what a face is made of ----

enum class Skin { Sun, Red, Blue, Green, Purple, Peach };
enum class Eyes {
    Dot, Happy, Calm, Line, Wink, Hearts, Stars, Cross, Spiral, Wide, Tiny, Glossy,
    Squeeze, Side, Up, Lidded, Shades, Glasses, Down, Mixed
};
enum class Mouth {
    Smile, Grin, Laugh, Frown, Flat, Oh, SmallOh, Tongue, Wavy, Teeth, Kiss, Smirk,
    Zip, Cat, OpenSad, Yawn, Grimace, Drool, None, Pout, BigSmile, TongueSide
};
enum class Brows { None, Angry, Worried, Raised, OneUp, Flat };

// Marks around or over the face, any number of them.
enum Extra : unsigned {
    kBlush = 1u << 0, kTear = 1u << 1, kStreams = 1u << 2, kSweat = 1u << 3, kHeart = 1u << 4,
    kAnger = 1u << 5, kZzz = 1u << 6, kQuestion = 1u << 7, kGloom = 1u << 8, kHalo = 1u << 9,
    kHorns = 1u << 10, kWave = 1u << 11, kThumb = 1u << 12, kMask = 1u << 13, kSnow = 1u << 14,
    kHat = 1u << 15, kShush = 1u << 16, kHug = 1u << 17, kSteam = 1u << 18, kBandage = 1u << 19,
    kThermo = 1u << 20, kCatEars = 1u << 21, kClown = 1u << 22, kFlames = 1u << 23, kDots = 1u << 24,
    kPuff = 1u << 25, kHandMouth = 1u << 26, kSparkle = 1u << 27, kSweats = 1u << 28, kJoyTears = 1u << 29,
    kPalm = 1u << 30
};

// How an animated face moves; None = a still picture.
enum class Motion { None, Blink, Wink, Bounce, Wave, Zzz, Tears, Spin, Pulse, Shake, Steam, Nod, Sparkle };

struct Face {
    const char* tag;  // a slash and an English word; no tag may start another
    const char* tip;
    Skin skin;
    Eyes eyes;
    Mouth mouth;
    Brows brows;
    unsigned extras;
    Motion motion;
};

// Ids are positions in this list, from 1; new faces go at the end so that
// the faces of sent lines keep their meaning.
const Face kFaces[] = {
    {"/smile", "微笑", Skin::Sun, Eyes::Dot, Mouth::Smile, Brows::None, 0, Motion::None},
    {"/laugh", "大笑", Skin::Sun, Eyes::Happy, Mouth::Laugh, Brows::None, 0, Motion::Bounce},
    {"/sad", "难过", Skin::Sun, Eyes::Dot, Mouth::Frown, Brows::Worried, 0, Motion::None},
    {"/calm", "平静", Skin::Sun, Eyes::Calm, Mouth::Smile, Brows::None, 0, Motion::None},
    {"/shy", "害羞", Skin::Sun, Eyes::Down, Mouth::SmallOh, Brows::Worried, kBlush, Motion::None},
    {"/gloomy", "郁闷", Skin::Sun, Eyes::Lidded, Mouth::Wavy, Brows::Flat, kGloom, Motion::None},
    {"/grin", "呲牙", Skin::Sun, Eyes::Dot, Mouth::Grin, Brows::None, 0, Motion::None},
    {"/wink", "眨眼", Skin::Sun, Eyes::Dot, Mouth::BigSmile, Brows::None, 0, Motion::Wink},
    {"/tongue", "调皮", Skin::Sun, Eyes::Dot, Mouth::Tongue, Brows::Raised, 0, Motion::None},
    {"/cry", "大哭", Skin::Sun, Eyes::Squeeze, Mouth::OpenSad, Brows::Worried, kStreams, Motion::Tears},
    {"/tear", "流泪", Skin::Sun, Eyes::Glossy, Mouth::Frown, Brows::Worried, kTear, Motion::None},
    {"/angry", "发怒", Skin::Red, Eyes::Dot, Mouth::Teeth, Brows::Angry, kAnger, Motion::Shake},
    {"/shock", "惊讶", Skin::Sun, Eyes::Wide, Mouth::Oh, Brows::Raised, 0, Motion::None},
    {"/scared", "惊恐", Skin::Sun, Eyes::Tiny, Mouth::Grimace, Brows::Worried, kGloom | kSweat, Motion::None},
    {"/cool", "酷", Skin::Sun, Eyes::Shades, Mouth::Smirk, Brows::None, 0, Motion::None},
    {"/love", "色", Skin::Sun, Eyes::Hearts, Mouth::BigSmile, Brows::None, 0, Motion::Pulse},
    {"/kiss", "飞吻", Skin::Sun, Eyes::Wink, Mouth::Kiss, Brows::None, kHeart, Motion::None},
    {"/blush", "脸红", Skin::Sun, Eyes::Happy, Mouth::Smile, Brows::None, kBlush, Motion::None},
    {"/sleep", "睡觉", Skin::Sun, Eyes::Calm, Mouth::SmallOh, Brows::None, kZzz, Motion::Zzz},
    {"/yawn", "哈欠", Skin::Sun, Eyes::Squeeze, Mouth::Yawn, Brows::None, kTear, Motion::None},
    {"/dizzy", "晕", Skin::Sun, Eyes::Spiral, Mouth::Wavy, Brows::None, 0, Motion::Spin},
    {"/sick", "恶心", Skin::Green, Eyes::Lidded, Mouth::Wavy, Brows::Worried, kSweat, Motion::None},
    {"/mask", "口罩", Skin::Sun, Eyes::Dot, Mouth::None, Brows::Worried, kMask, Motion::None},
    {"/sweat", "流汗", Skin::Sun, Eyes::Happy, Mouth::Grin, Brows::None, kSweat, Motion::None},
    {"/awkward", "尴尬", Skin::Sun, Eyes::Side, Mouth::Flat, Brows::Worried, kBlush | kSweat, Motion::None},
    {"/doubt", "疑问", Skin::Sun, Eyes::Dot, Mouth::Flat, Brows::OneUp, kQuestion, Motion::None},
    {"/think", "思考", Skin::Sun, Eyes::Up, Mouth::Flat, Brows::OneUp, kDots, Motion::None},
    {"/shush", "嘘", Skin::Sun, Eyes::Dot, Mouth::SmallOh, Brows::Raised, kShush, Motion::None},
    {"/zip", "闭嘴", Skin::Sun, Eyes::Dot, Mouth::Zip, Brows::Flat, 0, Motion::None},
    {"/speechless", "无语", Skin::Sun, Eyes::Line, Mouth::Flat, Brows::None, kSweat, Motion::None},
    {"/eyeroll", "白眼", Skin::Sun, Eyes::Up, Mouth::Frown, Brows::Flat, 0, Motion::None},
    {"/smirk", "坏笑", Skin::Sun, Eyes::Lidded, Mouth::Smirk, Brows::OneUp, 0, Motion::None},
    {"/proud", "得意", Skin::Sun, Eyes::Happy, Mouth::Smirk, Brows::Raised, kSparkle, Motion::None},
    {"/drool", "流口水", Skin::Sun, Eyes::Up, Mouth::Drool, Brows::None, 0, Motion::None},
    {"/bye", "再见", Skin::Sun, Eyes::Happy, Mouth::BigSmile, Brows::None, kWave, Motion::Wave},
    {"/thumbs", "赞", Skin::Sun, Eyes::Dot, Mouth::BigSmile, Brows::None, kThumb, Motion::None},
    {"/cold", "好冷", Skin::Blue, Eyes::Dot, Mouth::Teeth, Brows::Worried, kSnow, Motion::Shake},
    {"/hot", "好热", Skin::Red, Eyes::Lidded, Mouth::TongueSide, Brows::Worried, kSweats, Motion::None},
    {"/dead", "挂了", Skin::Sun, Eyes::Cross, Mouth::TongueSide, Brows::None, 0, Motion::None},
    {"/angel", "天使", Skin::Sun, Eyes::Calm, Mouth::Smile, Brows::None, kHalo | kBlush, Motion::None},
    {"/devil", "恶魔", Skin::Purple, Eyes::Dot, Mouth::Grin, Brows::Angry, kHorns, Motion::None},
    {"/starstruck", "崇拜", Skin::Sun, Eyes::Stars, Mouth::Laugh, Brows::None, 0, Motion::Sparkle},
    {"/party", "庆祝", Skin::Sun, Eyes::Wink, Mouth::Laugh, Brows::None, kHat, Motion::None},
    {"/nerd", "书呆子", Skin::Sun, Eyes::Glasses, Mouth::Grin, Brows::Raised, 0, Motion::None},
    {"/pout", "撅嘴", Skin::Sun, Eyes::Dot, Mouth::Pout, Brows::Angry, kBlush, Motion::None},
    {"/huff", "哼", Skin::Sun, Eyes::Calm, Mouth::Frown, Brows::Angry, kSteam, Motion::Steam},
    {"/cringe", "囧", Skin::Sun, Eyes::Wide, Mouth::Grimace, Brows::Worried, 0, Motion::None},
    {"/relieved", "松口气", Skin::Sun, Eyes::Calm, Mouth::Smile, Brows::Worried, kSweat, Motion::None},
    {"/hug", "拥抱", Skin::Sun, Eyes::Happy, Mouth::BigSmile, Brows::None, kHug | kBlush, Motion::None},
    {"/silly", "鬼脸", Skin::Sun, Eyes::Mixed, Mouth::TongueSide, Brows::OneUp, 0, Motion::None},
    {"/squint", "眯眼笑", Skin::Sun, Eyes::Squeeze, Mouth::Laugh, Brows::None, 0, Motion::None},
    {"/rofl", "笑哭", Skin::Sun, Eyes::Happy, Mouth::Laugh, Brows::Worried, kJoyTears, Motion::Bounce},
    {"/meh", "无聊", Skin::Sun, Eyes::Lidded, Mouth::Flat, Brows::None, 0, Motion::None},
    {"/sigh", "叹气", Skin::Sun, Eyes::Calm, Mouth::SmallOh, Brows::Worried, kPuff, Motion::None},
    {"/worry", "担心", Skin::Sun, Eyes::Dot, Mouth::Wavy, Brows::Worried, 0, Motion::None},
    {"/panic", "抓狂", Skin::Sun, Eyes::Wide, Mouth::Yawn, Brows::Worried, kGloom | kPalm, Motion::None},
    {"/sulk", "委屈", Skin::Sun, Eyes::Glossy, Mouth::Pout, Brows::Worried, 0, Motion::None},
    {"/please", "拜托", Skin::Sun, Eyes::Glossy, Mouth::Smile, Brows::Worried, kBlush, Motion::Blink},
    {"/cat", "猫咪", Skin::Sun, Eyes::Happy, Mouth::Cat, Brows::None, kCatEars | kBlush, Motion::None},
    {"/hurt", "受伤", Skin::Sun, Eyes::Squeeze, Mouth::Frown, Brows::Worried, kBandage, Motion::None},
    {"/fury", "火大", Skin::Red, Eyes::Dot, Mouth::Grimace, Brows::Angry, kFlames, Motion::None},
    {"/clown", "小丑", Skin::Sun, Eyes::Dot, Mouth::BigSmile, Brows::Raised, kClown, Motion::None},
    {"/nod", "点头", Skin::Sun, Eyes::Happy, Mouth::Smile, Brows::None, kBlush, Motion::Nod},
    {"/happy", "开心", Skin::Sun, Eyes::Dot, Mouth::BigSmile, Brows::None, 0, Motion::Blink},
    {"/giggle", "偷笑", Skin::Sun, Eyes::Happy, Mouth::None, Brows::None, kHandMouth | kBlush, Motion::None},
    {"/fever", "发烧", Skin::Peach, Eyes::Lidded, Mouth::None, Brows::Worried, kThermo | kSweat, Motion::None},
    {"/nervous", "紧张", Skin::Sun, Eyes::Side, Mouth::Grimace, Brows::Worried, kSweats, Motion::None},
    {"/wow", "哇", Skin::Sun, Eyes::Stars, Mouth::Oh, Brows::Raised, 0, Motion::None},
};

// ---- colours ----

struct Palette {
    QColor light, base, line;
};

Palette SkinColours(Skin s) {
    switch (s) {
    case Skin::Sun: return {QColor(0xFF, 0xE5, 0x7A), QColor(0xFF, 0xC2, 0x2E), QColor(0x9A, 0x62, 0x05)};
    case Skin::Red: return {QColor(0xFF, 0x9E, 0x7A), QColor(0xF0, 0x4E, 0x32), QColor(0x8C, 0x22, 0x10)};
    case Skin::Blue: return {QColor(0xD2, 0xEE, 0xFF), QColor(0x7C, 0xBE, 0xF2), QColor(0x2A, 0x5C, 0x8C)};
    case Skin::Green: return {QColor(0xDD, 0xF0, 0x8C), QColor(0x9C, 0xC8, 0x48), QColor(0x4A, 0x66, 0x1A)};
    case Skin::Purple: return {QColor(0xC9, 0xA8, 0xF5), QColor(0x8E, 0x5C, 0xD8), QColor(0x44, 0x24, 0x7C)};
    case Skin::Peach: return {QColor(0xFF, 0xD6, 0x8A), QColor(0xFF, 0x92, 0x4A), QColor(0x9A, 0x48, 0x08)};
    }
    return {};
}

const QColor kInk(0x4A, 0x28, 0x0C);
const QColor kMouthIn(0x8A, 0x1E, 0x22);
const QColor kTongue(0xFF, 0x6F, 0x86);
const QColor kWater(0x5C, 0xB8, 0xF5);
const QColor kWaterLine(0x2A, 0x78, 0xC8);
const QColor kHeartRed(0xF2, 0x2E, 0x5C);
const QColor kGold(0xFF, 0xD0, 0x2A);
const QColor kWhite(0xFF, 0xFF, 0xFF);

// ---- the state of one frame ----

struct Pose {
    double dx = 0, dy = 0;  // the whole face moves
    bool blink = false;     // eyes shut for a frame
    bool wink = false;      // the right eye shut for a frame
    double phase = 0;       // 0..1 through a loop, for marks that travel
    double pulse = 1;       // size of beating marks
    double wave = 0;        // hand angle in degrees
    double mouth = 1;       // how far an open mouth opens
};

// ---- shapes ----

const QPointF kLeftEye(11.3, 13.6), kRightEye(20.7, 13.6);
constexpr double kMouthY = 21.6;

QPen Stroke(QColor c, double w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

QPainterPath HeartPath(QPointF c, double s) {
    QPainterPath h;
    h.moveTo(c.x(), c.y() + s);
    h.cubicTo(c.x() - s * 1.7, c.y() - s * 0.1, c.x() - s * 0.9, c.y() - s * 1.4, c.x(), c.y() - s * 0.5);
    h.cubicTo(c.x() + s * 0.9, c.y() - s * 1.4, c.x() + s * 1.7, c.y() - s * 0.1, c.x(), c.y() + s);
    return h;
}

QPainterPath StarPath(QPointF c, double outer, double inner, double turn = 0) {
    QPainterPath s;
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5 + turn;
        const double r = i % 2 ? inner : outer;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0) s.moveTo(pt);
        else s.lineTo(pt);
    }
    s.closeSubpath();
    return s;
}

// A drop whose round end (radius r) is at c and whose point is straight up.
QPainterPath DropPath(QPointF c, double r) {
    QPainterPath d;
    const double top = c.y() - r * 2.3;
    d.moveTo(c.x(), top);
    d.cubicTo(c.x() + r * 0.35, top + r * 0.9, c.x() + r, c.y() - r * 0.5, c.x() + r, c.y());
    d.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 0, -180);
    d.cubicTo(c.x() - r, c.y() - r * 0.5, c.x() - r * 0.35, top + r * 0.9, c.x(), top);
    return d;
}

void Drop(QPainter& p, QPointF c, double r) {
    p.setPen(Stroke(kWaterLine, 0.8));
    p.setBrush(kWater);
    p.drawPath(DropPath(c, r));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(c.x() - r * 0.35, c.y() - r * 0.2), r * 0.28, r * 0.38);
}

void Heart(QPainter& p, QPointF c, double s) {
    p.setPen(Stroke(QColor(0x9A, 0x10, 0x30), 0.7));
    p.setBrush(kHeartRed);
    p.drawPath(HeartPath(c, s));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 190));
    p.drawEllipse(QPointF(c.x() - s * 0.75, c.y() - s * 0.45), s * 0.28, s * 0.22);
}

void Star(QPainter& p, QPointF c, double r, double turn = 0, QColor fill = kGold) {
    p.setPen(Stroke(QColor(0x8A, 0x3A, 0x00), 0.8));
    p.setBrush(fill);
    p.drawPath(StarPath(c, r, r * 0.45, turn));
}

// A small closed hand (fist, palm) in the skin's colours.
void Hand(QPainter& p, const Palette& pal, QPointF c, double angle, bool fingers) {
    p.save();
    p.translate(c);
    p.rotate(angle);
    p.setPen(Stroke(pal.line, 0.9));
    p.setBrush(pal.base);
    if (fingers) {
        // An open palm: four fingers up, the thumb to the side.
        for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(-3.6 + i * 1.85, -6.2 + std::abs(i - 1.5) * 0.5, 1.75, 5), 0.9, 0.9);
        p.drawRoundedRect(QRectF(2.2, -2.4, 3.6, 1.8), 0.9, 0.9);
        p.drawRoundedRect(QRectF(-3.8, -2.6, 7.4, 6.2), 2.4, 2.4);
    } else {
        p.drawRoundedRect(QRectF(-3.6, -3, 7.2, 6.2), 2.4, 2.4);
        p.setPen(Stroke(pal.line, 0.6));
        for (int i = 1; i < 3; ++i) p.drawLine(QPointF(-3.6 + i * 2.4, -1.4), QPointF(-3.6 + i * 2.4, 1));
    }
    p.restore();
}

// ---- the face itself ----

void Head(QPainter& p, const Palette& pal) {
    QRadialGradient g(QPointF(12.5, 11), 17);
    g.setColorAt(0, pal.light);
    g.setColorAt(0.55, pal.base);
    g.setColorAt(1, pal.base.darker(112));
    p.setPen(Stroke(pal.line, 1.1));
    p.setBrush(g);
    p.drawEllipse(QPointF(16, 16.5), 13.6, 13.6);
}

void ClosedArc(QPainter& p, QPointF c, double bend, double half = 2.6) {
    QPainterPath a;
    a.moveTo(c.x() - half, c.y());
    a.quadTo(c.x(), c.y() + bend, c.x() + half, c.y());
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(kInk, 1.5));
    p.drawPath(a);
}

void DotEye(QPainter& p, QPointF c, double rx = 1.8, double ry = 2.5, QPointF look = {}) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(c + look, rx, ry);
    p.setBrush(kWhite);
    p.drawEllipse(c + look + QPointF(-rx * 0.35, -ry * 0.4), rx * 0.38, rx * 0.38);
}

void WhiteEye(QPainter& p, QPointF c, QPointF look, double pupil) {
    p.setPen(Stroke(kInk, 0.8));
    p.setBrush(kWhite);
    p.drawEllipse(c, 2.9, 3.4);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(c + look, pupil, pupil * 1.15);
}

void Chevron(QPainter& p, QPointF c, double dir) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(kInk, 1.5));
    p.drawPolyline(QPolygonF({c + QPointF(-1.8 * dir, -2), c + QPointF(1.6 * dir, 0), c + QPointF(-1.8 * dir, 2)}));
}

void OneEye(QPainter& p, Eyes kind, QPointF c, bool left, const Pose& pose) {
    switch (kind) {
    case Eyes::Dot: DotEye(p, c); break;
    case Eyes::Happy: ClosedArc(p, c + QPointF(0, 0.8), -3.6); break;
    case Eyes::Calm: ClosedArc(p, c + QPointF(0, -0.4), 2.8); break;
    case Eyes::Line:
        p.setPen(Stroke(kInk, 1.5));
        p.drawLine(c + QPointF(-2.4, 0), c + QPointF(2.4, 0));
        break;
    case Eyes::Wink:
        if (left) DotEye(p, c);
        else Chevron(p, c, -1);
        break;
    case Eyes::Hearts: Heart(p, c + QPointF(0, 0.4), 2.7 * pose.pulse); break;
    case Eyes::Stars: Star(p, c, 3.5 * pose.pulse, pose.phase * 2 * M_PI / 5, QColor(0xFF, 0x7A, 0x1A)); break;
    case Eyes::Cross:
        p.setPen(Stroke(kInk, 1.5));
        p.drawLine(c + QPointF(-2, -2), c + QPointF(2, 2));
        p.drawLine(c + QPointF(2, -2), c + QPointF(-2, 2));
        break;
    case Eyes::Spiral: {
        p.setPen(Stroke(kInk, 0.7));
        p.setBrush(kWhite);
        p.drawEllipse(c, 3.2, 3.2);
        QPainterPath s;
        const double turn = pose.phase * 2 * M_PI * (left ? 1 : -1);
        // Few turns: more would blur into a grey dot at this size.
        for (int i = 0; i <= 16; ++i) {
            const double a = (left ? 1 : -1) * i * 0.5 + turn, r = 0.3 + i * 0.16;
            const QPointF pt = c + QPointF(r * std::cos(a), r * std::sin(a));
            if (i == 0) s.moveTo(pt);
            else s.lineTo(pt);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(Stroke(kInk, 1.1));
        p.drawPath(s);
        break;
    }
    case Eyes::Wide: WhiteEye(p, c, QPointF(0, 0.3), 1.5); break;
    case Eyes::Tiny: WhiteEye(p, c, QPointF(0, 0), 0.8); break;
    case Eyes::Glossy:
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawEllipse(c, 2.5, 2.9);
        p.setBrush(kWhite);
        p.drawEllipse(c + QPointF(-0.8, -1.0), 1.0, 1.0);
        p.drawEllipse(c + QPointF(0.9, 1.1), 0.55, 0.55);
        p.setPen(Stroke(kWater, 0.9));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - 2.5, c.y() - 2.9, 5, 5.8), 200 * 16, 140 * 16);
        break;
    case Eyes::Squeeze: Chevron(p, c, left ? 1 : -1); break;
    case Eyes::Side: WhiteEye(p, c, QPointF(left ? 1.3 : 1.3, 0.4), 1.3); break;
    case Eyes::Up: WhiteEye(p, c, QPointF(0.3, -1.6), 1.3); break;
    case Eyes::Lidded:
        DotEye(p, c + QPointF(0, 0.6), 1.8, 1.9);
        p.setPen(Stroke(kInk, 1.3));
        p.drawLine(c + QPointF(-2.6, -0.5), c + QPointF(2.6, -0.5));
        break;
    case Eyes::Down: ClosedArc(p, c + QPointF(0, 0.6), 2.4, 2.2); break;
    case Eyes::Mixed:
        if (left) WhiteEye(p, c + QPointF(0, -0.5), QPointF(-0.8, 0.6), 1.5);
        else Chevron(p, c, -1);
        break;
    case Eyes::Shades:
    case Eyes::Glasses: break;  // both eyes at once, below
    }
}

void DrawEyes(QPainter& p, const Face& f, const Pose& pose) {
    if (f.eyes == Eyes::Shades) {
        QPainterPath lens;
        for (double cx : {kLeftEye.x(), kRightEye.x()}) lens.addRoundedRect(QRectF(cx - 4.4, 10.6, 8.8, 5.6), 2.6, 2.6);
        p.setPen(Stroke(QColor(0x10, 0x10, 0x18), 0.9));
        p.setBrush(QColor(0x1C, 0x1C, 0x28));
        p.drawPath(lens);
        p.drawLine(QPointF(4.5, 12), QPointF(27.5, 12));
        p.setPen(Stroke(QColor(255, 255, 255, 170), 0.9));
        p.drawLine(QPointF(8.2, 14.2), QPointF(10.4, 12.2));
        p.drawLine(QPointF(17.6, 14.2), QPointF(19.8, 12.2));
        return;
    }
    if (f.eyes == Eyes::Glasses) {
        DotEye(p, kLeftEye, 1.5, 1.9);
        DotEye(p, kRightEye, 1.5, 1.9);
        p.setPen(Stroke(QColor(0x30, 0x30, 0x38), 1.1));
        p.setBrush(QColor(255, 255, 255, 70));
        p.drawEllipse(kLeftEye, 3.9, 3.9);
        p.drawEllipse(kRightEye, 3.9, 3.9);
        p.drawLine(kLeftEye + QPointF(3.9, 0), kRightEye - QPointF(3.9, 0));
        return;
    }
    if (pose.blink) {
        // A shut eye reads as a gentle arc whatever the open eye was.
        ClosedArc(p, kLeftEye, 2.2);
        ClosedArc(p, kRightEye, 2.2);
        return;
    }
    OneEye(p, f.eyes, kLeftEye, true, pose);
    if (pose.wink) Chevron(p, kRightEye, -1);
    else OneEye(p, f.eyes, kRightEye, false, pose);
}

void DrawBrows(QPainter& p, Brows b) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(kInk, 1.3));
    const double y = 8.6;
    switch (b) {
    case Brows::None: break;
    case Brows::Angry:
        p.drawLine(QPointF(8, y - 0.6), QPointF(13.6, y + 1.8));
        p.drawLine(QPointF(24, y - 0.6), QPointF(18.4, y + 1.8));
        break;
    case Brows::Worried:
        p.drawLine(QPointF(8.4, y + 1), QPointF(13.4, y - 0.8));
        p.drawLine(QPointF(23.6, y + 1), QPointF(18.6, y - 0.8));
        break;
    case Brows::Raised:
        p.drawArc(QRectF(8.4, y - 2.4, 5.8, 3.6), 30 * 16, 120 * 16);
        p.drawArc(QRectF(17.8, y - 2.4, 5.8, 3.6), 30 * 16, 120 * 16);
        break;
    case Brows::OneUp:
        p.drawLine(QPointF(8.6, y + 0.6), QPointF(13.6, y + 0.6));
        p.drawArc(QRectF(17.8, y - 2.6, 5.8, 3.6), 30 * 16, 120 * 16);
        break;
    case Brows::Flat:
        p.drawLine(QPointF(8.6, y + 0.4), QPointF(13.4, y + 0.4));
        p.drawLine(QPointF(18.6, y + 0.4), QPointF(23.4, y + 0.4));
        break;
    }
}

// An open mouth: a filled shape with a tongue at its bottom.
void OpenMouth(QPainter& p, const QPainterPath& shape, bool teeth) {
    p.setPen(Stroke(kInk, 1.0));
    p.setBrush(kMouthIn);
    p.drawPath(shape);
    p.save();
    p.setClipPath(shape);
    p.setPen(Qt::NoPen);
    const QRectF r = shape.boundingRect();
    p.setBrush(kTongue);
    p.drawEllipse(QPointF(r.center().x(), r.bottom() + r.height() * 0.05), r.width() * 0.32, r.height() * 0.45);
    if (teeth) {
        p.setBrush(kWhite);
        p.drawRect(QRectF(r.left(), r.top(), r.width(), std::min(1.6, r.height() * 0.35)));
    }
    p.restore();
    p.setPen(Stroke(kInk, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}

void DrawMouth(QPainter& p, Mouth m, const Pose& pose) {
    const double y = kMouthY;
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(kInk, 1.4));
    switch (m) {
    case Mouth::None: break;
    case Mouth::Smile: {
        QPainterPath s;
        s.moveTo(11.5, y - 1);
        s.quadTo(16, y + 3.2, 20.5, y - 1);
        p.drawPath(s);
        break;
    }
    case Mouth::Frown: {
        QPainterPath s;
        s.moveTo(12, y + 2);
        s.quadTo(16, y - 1.8, 20, y + 2);
        p.drawPath(s);
        break;
    }
    case Mouth::Flat: p.drawLine(QPointF(12.5, y + 0.6), QPointF(19.5, y + 0.6)); break;
    case Mouth::Wavy: {
        QPainterPath s;
        s.moveTo(11.2, y + 1);
        for (int i = 0; i < 4; ++i) s.quadTo(12.4 + i * 2.4, i % 2 ? y + 2.4 : y - 0.6, 13.6 + i * 2.4, y + 1);
        p.setPen(Stroke(kInk, 1.2));
        p.drawPath(s);
        break;
    }
    case Mouth::Smirk: {
        QPainterPath s;
        s.moveTo(12, y + 1.2);
        s.quadTo(17, y + 2.2, 20.8, y - 1.2);
        p.drawPath(s);
        break;
    }
    case Mouth::BigSmile:
    case Mouth::Grin:
    case Mouth::Laugh: {
        const double open = (m == Mouth::Laugh ? 6.8 : m == Mouth::BigSmile ? 4.6 : 4.0) * pose.mouth;
        const double half = m == Mouth::Laugh ? 6.2 : 5.4;
        QPainterPath s;
        s.moveTo(16 - half, y - 1.6);
        s.lineTo(16 + half, y - 1.6);
        s.cubicTo(16 + half, y - 1.6 + open, 16 - half, y - 1.6 + open, 16 - half, y - 1.6);
        if (m == Mouth::Grin) {
            // All teeth: white with the gaps drawn in.
            p.setPen(Stroke(kInk, 1.0));
            p.setBrush(kWhite);
            p.drawPath(s);
            p.setPen(Stroke(QColor(0xB0, 0xA0, 0x90), 0.6));
            p.drawLine(QPointF(16 - half + 0.6, y - 0.2), QPointF(16 + half - 0.6, y - 0.2));
            for (int i = -1; i <= 1; ++i) p.drawLine(QPointF(16 + i * 2.4, y - 1.4), QPointF(16 + i * 2.4, y + 1.2));
            break;
        }
        OpenMouth(p, s, true);
        break;
    }
    case Mouth::Oh:
        p.setPen(Stroke(kInk, 1.0));
        p.setBrush(kMouthIn);
        p.drawEllipse(QPointF(16, y + 0.8), 2.6, 3.2);
        break;
    case Mouth::SmallOh:
        p.setPen(Stroke(kInk, 1.0));
        p.setBrush(kMouthIn);
        p.drawEllipse(QPointF(16, y + 0.8), 1.3, 1.5);
        break;
    case Mouth::Yawn: {
        QPainterPath s;
        s.addEllipse(QPointF(16, y + 1), 3.4, 4.2 * pose.mouth);
        OpenMouth(p, s, false);
        break;
    }
    case Mouth::OpenSad: {
        QPainterPath s;
        s.moveTo(11.2, y + 3.2);
        s.cubicTo(11.4, y - 2.8, 20.6, y - 2.8, 20.8, y + 3.2);
        s.closeSubpath();
        OpenMouth(p, s, false);
        break;
    }
    case Mouth::Tongue:
    case Mouth::TongueSide: {
        const bool side = m == Mouth::TongueSide;
        QPainterPath t;
        const double tx = side ? 18.4 : 16;
        t.addRoundedRect(QRectF(tx - 2.3, y - 0.2, 4.6, 5), 2.3, 2.3);
        p.setPen(Stroke(QColor(0xB8, 0x30, 0x48), 0.8));
        p.setBrush(kTongue);
        p.drawPath(t);
        p.setPen(Stroke(QColor(0xB8, 0x30, 0x48), 0.6));
        p.drawLine(QPointF(tx, y + 0.6), QPointF(tx, y + 2.6));
        p.setPen(Stroke(kInk, 1.4));
        p.setBrush(Qt::NoBrush);
        QPainterPath s;
        if (side) {
            s.moveTo(12, y + 0.4);
            s.lineTo(21, y - 0.2);
        } else {
            s.moveTo(11.5, y - 1);
            s.quadTo(16, y + 1.6, 20.5, y - 1);
        }
        p.drawPath(s);
        break;
    }
    case Mouth::Teeth:
    case Mouth::Grimace: {
        const double half = m == Mouth::Grimace ? 6.0 : 4.6, h = m == Mouth::Grimace ? 4.2 : 3.6;
        const QRectF r(16 - half, y - h / 2 + 0.4, half * 2, h);
        p.setPen(Stroke(kInk, 1.0));
        p.setBrush(kWhite);
        p.drawRoundedRect(r, 1.4, 1.4);
        p.setPen(Stroke(QColor(0x90, 0x80, 0x78), 0.6));
        p.drawLine(QPointF(r.left() + 0.4, r.center().y()), QPointF(r.right() - 0.4, r.center().y()));
        for (double x = r.left() + 2.2; x < r.right() - 0.8; x += 2.2) p.drawLine(QPointF(x, r.top() + 0.3), QPointF(x, r.bottom() - 0.3));
        break;
    }
    case Mouth::Kiss:
    case Mouth::Pout: {
        // A "3" turned to face left: two small bumps.
        QPainterPath s;
        s.moveTo(15.2, y - 2);
        s.quadTo(18.6, y - 1.6, 16, y + 0.4);
        s.quadTo(18.6, y + 2.4, 15.2, y + 2.8);
        if (m == Mouth::Pout) {
            s = QPainterPath();
            s.moveTo(13.2, y + 1.8);
            s.quadTo(16, y - 0.8, 18.8, y + 1.8);
            p.setPen(Stroke(kInk, 1.3));
            p.drawPath(s);
            p.setPen(Stroke(kInk, 1.0));
            p.drawLine(QPointF(14.4, y + 3), QPointF(17.6, y + 3));
            break;
        }
        p.setPen(Stroke(kInk, 1.3));
        p.drawPath(s);
        break;
    }
    case Mouth::Zip: {
        p.setPen(Stroke(kInk, 1.3));
        p.drawLine(QPointF(10.8, y + 0.6), QPointF(21.2, y + 0.6));
        p.setPen(Stroke(kInk, 0.8));
        for (double x = 12; x <= 20.2; x += 1.6) p.drawLine(QPointF(x, y - 0.6), QPointF(x, y + 1.8));
        p.setPen(Stroke(QColor(0x70, 0x70, 0x80), 0.7));
        p.setBrush(QColor(0xC8, 0xC8, 0xD4));
        p.drawRoundedRect(QRectF(20.4, y - 0.2, 2.2, 3.2), 0.6, 0.6);
        break;
    }
    case Mouth::Cat: {
        QPainterPath s;
        s.moveTo(12, y - 0.6);
        s.quadTo(13.8, y + 2.4, 16, y);
        s.quadTo(18.2, y + 2.4, 20, y - 0.6);
        p.setPen(Stroke(kInk, 1.2));
        p.drawPath(s);
        break;
    }
    case Mouth::Drool: {
        QPainterPath s;
        s.moveTo(11.5, y - 1.2);
        s.lineTo(20.5, y - 1.2);
        s.cubicTo(20.5, y + 3, 11.5, y + 3, 11.5, y - 1.2);
        OpenMouth(p, s, false);
        Drop(p, QPointF(19.8, y + 4.2), 1.3);
        break;
    }
    }
}

void DrawExtrasBehind(QPainter& p, const Face& f, const Palette& pal, const Pose& pose) {
    if (f.extras & kHorns) {
        p.setPen(Stroke(QColor(0x44, 0x24, 0x7C), 0.9));
        p.setBrush(QColor(0x6E, 0x3E, 0xB8));
        for (double side : {-1.0, 1.0}) {
            QPainterPath h;
            h.moveTo(16 + side * 6.0, 5.6);
            h.quadTo(16 + side * 11.8, 3.8, 16 + side * 12.4, -0.2);
            h.quadTo(16 + side * 12.6, 5.8, 16 + side * 10.6, 8.2);
            h.closeSubpath();
            p.drawPath(h);
        }
    }
    if (f.extras & kCatEars) {
        p.setPen(Stroke(pal.line, 1.0));
        p.setBrush(pal.base);
        for (double side : {-1.0, 1.0}) {
            p.drawPolygon(QPolygonF({QPointF(16 + side * 4.4, 4.4), QPointF(16 + side * 12.8, 0.4), QPointF(16 + side * 12.0, 10)}));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(kTongue);
        for (double side : {-1.0, 1.0})
            p.drawPolygon(QPolygonF({QPointF(16 + side * 7.2, 4.6), QPointF(16 + side * 11.4, 2.6), QPointF(16 + side * 11.0, 7.4)}));
    }
    if (f.extras & kFlames) {
        QPainterPath fl;
        fl.moveTo(4, 10);
        const double lift = 1.0 + 0.4 * std::sin(pose.phase * 2 * M_PI);
        const double tips[][2] = {{6, 1.5}, {11, -0.5}, {16, -1.5}, {21, -0.5}, {26, 1.5}};
        double x = 4;
        for (const auto& t : tips) {
            fl.quadTo(t[0] - 1.6, 6, t[0], t[1] * lift);
            fl.quadTo(t[0] + 0.6, 5, x + 4.5, 6.5);
            x += 5;
        }
        fl.lineTo(28, 10);
        fl.closeSubpath();
        QLinearGradient g(0, 0, 0, 10);
        g.setColorAt(0, QColor(0xFF, 0xD2, 0x3A));
        g.setColorAt(1, QColor(0xFF, 0x5A, 0x1C));
        p.setPen(Stroke(QColor(0xC8, 0x3A, 0x0A), 0.8));
        p.setBrush(g);
        p.drawPath(fl);
    }
    if (f.extras & kClown) {
        // Tufts of hair on both sides.
        const QColor hair[] = {QColor(0x3C, 0xB4, 0xF0), QColor(0xF0, 0x4C, 0x9A), QColor(0x4C, 0xD1, 0x7A)};
        p.setPen(Stroke(QColor(0x40, 0x40, 0x60), 0.6));
        for (int i = 0; i < 3; ++i) {
            p.setBrush(hair[i]);
            p.drawEllipse(QPointF(3.6, 9 + i * 3.2), 2.6, 2.6);
            p.drawEllipse(QPointF(28.4, 9 + i * 3.2), 2.6, 2.6);
        }
    }
}

void Zee(QPainter& p, QPointF at, double s) {
    const QPolygonF z({at, at + QPointF(s, 0), at + QPointF(0, s), at + QPointF(s, s)});
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(kWhite, 2.6));
    p.drawPolyline(z);
    p.setPen(Stroke(QColor(0x3A, 0x5C, 0xD0), 1.3));
    p.drawPolyline(z);
}

void Puff(QPainter& p, QPointF c, double s) {
    p.setPen(Stroke(QColor(0x9A, 0xA4, 0xB4), 0.7));
    p.setBrush(QColor(0xF4, 0xF6, 0xFA));
    QPainterPath cl;
    cl.addEllipse(c + QPointF(-s * 0.6, 0), s * 0.7, s * 0.6);
    cl.addEllipse(c + QPointF(s * 0.4, -s * 0.2), s * 0.8, s * 0.7);
    cl.addEllipse(c + QPointF(s * 0.2, s * 0.35), s * 0.6, s * 0.45);
    p.drawPath(cl.simplified());
}

void DrawExtrasFront(QPainter& p, const Face& f, const Palette& pal, const Pose& pose) {
    const unsigned x = f.extras;
    if (x & kBlush) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xFF, 0x6A, 0x8A, 130));
        p.drawEllipse(QPointF(7.6, 18.6), 2.6, 1.6);
        p.drawEllipse(QPointF(24.4, 18.6), 2.6, 1.6);
    }
    if (x & kGloom) {
        // Shadow over the forehead, as when the blood drains away.
        QLinearGradient g(0, 3, 0, 11);
        g.setColorAt(0, QColor(0x6A, 0x4C, 0xC8, 170));
        g.setColorAt(1, QColor(0x6A, 0x4C, 0xC8, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.save();
        QPainterPath head;
        head.addEllipse(QPointF(16, 16.5), 13.0, 13.0);
        p.setClipPath(head);
        p.drawRect(QRectF(0, 0, 32, 12));
        p.setPen(Stroke(QColor(0x4A, 0x30, 0x9A, 200), 0.7));
        for (double lx : {12.0, 16.0, 20.0}) p.drawLine(QPointF(lx, 3.5), QPointF(lx, 7.5));
        p.restore();
    }
    if (x & kMask) {
        p.save();
        QPainterPath head;
        head.addEllipse(QPointF(16, 16.5), 13.6, 13.6);
        p.setPen(Stroke(QColor(0x90, 0x98, 0xA8), 0.8));
        p.drawLine(QPointF(8, 19), QPointF(3.2, 14));
        p.drawLine(QPointF(24, 19), QPointF(28.8, 14));
        p.setClipPath(head);
        p.setBrush(QColor(0xF2, 0xF6, 0xFA));
        p.drawRoundedRect(QRectF(6.8, 17.2, 18.4, 10.4), 3.2, 3.2);
        p.setPen(Stroke(QColor(0xB8, 0xC0, 0xCC), 0.6));
        for (double ly : {20.4, 23.2}) p.drawLine(QPointF(8.6, ly), QPointF(23.4, ly));
        p.restore();
    }
    if (x & kTear) Drop(p, QPointF(kLeftEye.x() - 1.2, 19.2), 1.5);
    if (x & kStreams) {
        for (QPointF e : {kLeftEye, kRightEye}) {
            const double sx = e.x() + (e.x() < 16 ? -0.6 : 0.6);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x5C, 0xB8, 0xF5, 220));
            p.drawRoundedRect(QRectF(sx - 1.3, e.y() + 1.6, 2.6, 30 - e.y() - 1.6), 1.3, 1.3);
            // A drop running down each stream.
            const double dy = e.y() + 3 + std::fmod(pose.phase, 1.0) * 10;
            p.setBrush(QColor(255, 255, 255, 210));
            p.drawEllipse(QPointF(sx, dy), 0.7, 1.1);
        }
    }
    if (x & kJoyTears) {
        const double off = std::sin(pose.phase * 2 * M_PI) * 0.8;
        Drop(p, QPointF(5.2, 13.6 + off), 1.6);
        Drop(p, QPointF(26.8, 13.6 - off), 1.6);
    }
    if (x & kSweat) Drop(p, QPointF(25.4, 8.4), 1.7);
    if (x & kSweats) {
        Drop(p, QPointF(26.2, 9.8), 1.5);
        Drop(p, QPointF(5.4, 11.2), 1.3);
        Drop(p, QPointF(24.2, 4.2), 1.1);
    }
    if (x & kHeart) Heart(p, QPointF(26.4, 23.6), 2.6);
    if (x & kAnger) {
        p.setPen(Stroke(QColor(0xD8, 0x10, 0x20), 1.1));
        p.setBrush(Qt::NoBrush);
        const QPointF c(25.2, 6.4);
        for (int q = 0; q < 4; ++q) {
            p.save();
            p.translate(c);
            p.rotate(q * 90);
            QPainterPath v;
            v.moveTo(0.8, -2.6);
            v.quadTo(0.9, -0.9, 2.6, -0.8);
            p.drawPath(v);
            p.restore();
        }
    }
    if (x & kZzz) {
        // Letters growing up and away, one more each frame.
        const int shown = std::min(3, static_cast<int>(pose.phase * 4) + 1);
        const QPointF at[] = {QPointF(19.6, 6.8), QPointF(23.2, 2.8), QPointF(27.0, -0.4)};
        for (int i = 0; i < shown; ++i) Zee(p, at[i], 3.0 + i * 0.8);
    }
    if (x & kQuestion) {
        p.setPen(Stroke(QColor(0x2E, 0x7C, 0xE0), 1.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath q;
        q.moveTo(24.2, 3.6);
        q.cubicTo(24.2, 0.8, 29.4, 0.8, 29.4, 3.6);
        q.cubicTo(29.4, 5.6, 26.8, 5.4, 26.8, 7.6);
        p.drawPath(q);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2E, 0x7C, 0xE0));
        p.drawEllipse(QPointF(26.8, 10.2), 1.0, 1.0);
    }
    if (x & kDots) {
        p.setPen(Stroke(QColor(0x9A, 0xA4, 0xB4), 0.6));
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(24.6, 7.2), 1.0, 1.0);
        p.drawEllipse(QPointF(27.0, 4.4), 1.4, 1.4);
        p.drawEllipse(QPointF(29.4, 1.6), 1.8, 1.6);
    }
    if (x & kHalo) {
        p.setPen(Stroke(QColor(0xE0, 0xA8, 0x00), 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(16, 2.6), 8.4, 2.0);
        p.setPen(Stroke(QColor(0xFF, 0xF0, 0x90), 0.9));
        p.drawEllipse(QPointF(16, 2.6), 8.4, 2.0);
    }
    if (x & kSnow) {
        QPainterPath cap;
        cap.moveTo(5.6, 9);
        cap.cubicTo(8, 0.6, 24, 0.6, 26.4, 9);
        for (int i = 0; i < 6; ++i) cap.quadTo(24.6 - i * 3.3, 11.8 - (i % 2) * 1.6, 23.1 - i * 3.3, 9);
        cap.closeSubpath();
        p.setPen(Stroke(QColor(0x8A, 0xB4, 0xD8), 0.8));
        p.setBrush(QColor(0xFA, 0xFD, 0xFF));
        p.drawPath(cap);
    }
    if (x & kHat) {
        p.save();
        p.translate(21.6, 5.2);
        p.rotate(22);
        QPainterPath cone;
        cone.moveTo(-4.6, 2.4);
        cone.lineTo(0, -8.4);
        cone.lineTo(4.6, 2.4);
        cone.closeSubpath();
        p.setPen(Stroke(QColor(0x6A, 0x20, 0x8A), 0.8));
        p.setBrush(QColor(0xB8, 0x4C, 0xF0));
        p.drawPath(cone);
        p.setPen(Stroke(kGold, 1.1));
        p.drawLine(QPointF(-3.0, -1.4), QPointF(2.2, 0.6));
        p.drawLine(QPointF(-1.4, -5.0), QPointF(1.2, -4.0));
        p.setPen(Stroke(QColor(0x6A, 0x20, 0x8A), 0.6));
        p.setBrush(kGold);
        p.drawEllipse(QPointF(0, -8.6), 1.5, 1.5);
        p.restore();
        const QColor bits[] = {QColor(0x3C, 0xB4, 0xF0), QColor(0xF0, 0x4C, 0x9A), QColor(0x4C, 0xD1, 0x7A)};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            p.setBrush(bits[i]);
            p.drawRect(QRectF(2.2 + i * 2.6, 4.2 - (i % 2) * 2.4, 1.6, 1.6));
        }
    }
    if (x & kBandage) {
        p.save();
        p.translate(22.4, 6.6);
        p.rotate(-35);
        p.setPen(Stroke(QColor(0xB0, 0x84, 0x5C), 0.7));
        p.setBrush(QColor(0xF6, 0xD8, 0xB0));
        p.drawRoundedRect(QRectF(-5.4, -1.7, 10.8, 3.4), 1.6, 1.6);
        p.setBrush(QColor(0xFF, 0xEE, 0xDA));
        p.drawRect(QRectF(-1.6, -1.7, 3.2, 3.4));
        p.restore();
    }
    if (x & kThermo) {
        p.save();
        p.translate(19.4, kMouthY + 0.8);
        p.rotate(-28);
        p.setPen(Stroke(QColor(0x70, 0x70, 0x80), 0.7));
        p.setBrush(kWhite);
        p.drawRoundedRect(QRectF(0, -0.9, 10.4, 1.8), 0.9, 0.9);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xE8, 0x20, 0x30));
        p.drawRect(QRectF(1.6, -0.4, 6.4, 0.8));
        p.drawEllipse(QPointF(9.6, 0), 1.4, 1.4);
        p.restore();
        p.setPen(Stroke(kInk, 1.2));
        p.drawLine(QPointF(14.2, kMouthY + 1.2), QPointF(19.4, kMouthY + 0.8));
    }
    if (x & kShush) {
        p.setPen(Stroke(pal.line, 0.9));
        p.setBrush(pal.base);
        p.drawRoundedRect(QRectF(14.8, 16.6, 2.6, 9), 1.3, 1.3);
        p.drawRoundedRect(QRectF(12.6, 24.4, 7.2, 5.4), 2.4, 2.4);
    }
    if (x & kHandMouth) Hand(p, pal, QPointF(17.4, 22.6), -12, false);
    if (x & kHug) {
        Hand(p, pal, QPointF(7.4, 25.4), 20, false);
        Hand(p, pal, QPointF(24.6, 25.4), -20, false);
    }
    if (x & kPalm) {
        Hand(p, pal, QPointF(4.6, 20.6), -25, true);
        Hand(p, pal, QPointF(27.4, 20.6), 25, true);
    }
    if (x & kWave) Hand(p, pal, QPointF(26, 22.4), 18 + pose.wave, true);
    if (x & kThumb) {
        p.save();
        p.translate(25.4, 23.6);
        p.setPen(Stroke(pal.line, 0.9));
        p.setBrush(pal.base);
        p.drawRoundedRect(QRectF(-1.4, -7.4, 2.8, 6.2), 1.4, 1.4);
        p.drawRoundedRect(QRectF(-3.6, -2.2, 7.4, 6.6), 2, 2);
        p.setPen(Stroke(pal.line, 0.6));
        p.drawLine(QPointF(-3.2, 0.2), QPointF(2.0, 0.2));
        p.drawLine(QPointF(-3.2, 2.2), QPointF(2.0, 2.2));
        p.restore();
    }
    if (x & kSteam) {
        const double t = pose.phase;
        Puff(p, QPointF(7.2 - t * 3, 25.4 + t * 1.2), 2.0 + t * 1.4);
        Puff(p, QPointF(24.8 + t * 3, 25.4 + t * 1.2), 2.0 + t * 1.4);
    }
    if (x & kPuff) Puff(p, QPointF(22.6, 24.6), 2.2);
    if (x & kClown) {
        p.setPen(Stroke(QColor(0x90, 0x10, 0x18), 0.7));
        p.setBrush(QColor(0xF0, 0x24, 0x30));
        p.drawEllipse(QPointF(16, 17.6), 2.4, 2.4);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(QPointF(15.2, 16.8), 0.7, 0.7);
    }
    if (x & kSparkle) {
        const double s = 1.0 + 0.5 * std::sin(pose.phase * 2 * M_PI);
        for (const QPointF& c : {QPointF(4.2, 5.2), QPointF(28, 4), QPointF(28.6, 26.6)}) {
            QPainterPath sp;
            const double r = 2.2 * s, k = 0.55 * s;
            sp.moveTo(c.x(), c.y() - r);
            sp.quadTo(c.x() + k, c.y() - k, c.x() + r, c.y());
            sp.quadTo(c.x() + k, c.y() + k, c.x(), c.y() + r);
            sp.quadTo(c.x() - k, c.y() + k, c.x() - r, c.y());
            sp.quadTo(c.x() - k, c.y() - k, c.x(), c.y() - r);
            p.setPen(Stroke(QColor(0xD0, 0x90, 0x00), 0.5));
            p.setBrush(kGold);
            p.drawPath(sp);
        }
    }
}

QImage Render(const Face& f, const Pose& pose) {
    QImage img(kPixels, kPixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kUnit, kUnit);
    p.translate(pose.dx, pose.dy);
    const Palette pal = SkinColours(f.skin);
    DrawExtrasBehind(p, f, pal, pose);
    Head(p, pal);
    DrawBrows(p, f.brows);
    DrawEyes(p, f, pose);
    DrawMouth(p, f.mouth, pose);
    DrawExtrasFront(p, f, pal, pose);
    p.end();
    return img;
}

// ---- movement: the frames of each motion and how long each shows ----

struct Frame {
    Pose pose;
    int ms;
};

std::vector<Frame> Frames(Motion m) {
    std::vector<Frame> out;
    auto loop = [&out](int n, int ms, auto&& set) {
        for (int i = 0; i < n; ++i) {
            Pose p;
            p.phase = double(i) / n;
            set(p, i);
            out.push_back({p, ms});
        }
    };
    switch (m) {
    case Motion::None: break;
    case Motion::Blink:
        out = {{Pose{}, 2200}, {Pose{.blink = true}, 140}, {Pose{}, 160}, {Pose{.blink = true}, 120}};
        break;
    case Motion::Wink: out = {{Pose{}, 1400}, {Pose{.wink = true}, 500}}; break;
    case Motion::Bounce:
        loop(4, 120, [](Pose& p, int i) {
            p.dy = i % 2 ? -1.4 : 0.4;
            p.mouth = i % 2 ? 0.75 : 1.0;
        });
        break;
    case Motion::Wave: loop(4, 160, [](Pose& p, int i) { p.wave = (i == 1 ? -22 : i == 3 ? 22 : 0); }); break;
    case Motion::Zzz: loop(4, 350, [](Pose&, int) {}); break;
    case Motion::Tears: loop(5, 110, [](Pose& p, int i) { p.dy = i % 2 ? 0.5 : 0; }); break;
    case Motion::Spin: loop(6, 100, [](Pose&, int) {}); break;
    case Motion::Pulse:
        out = {{Pose{.pulse = 1.0}, 320}, {Pose{.pulse = 1.3}, 130}, {Pose{.pulse = 1.05}, 130}, {Pose{.pulse = 1.3}, 130}};
        break;
    case Motion::Shake: loop(4, 100, [](Pose& p, int i) { p.dx = (i % 2 ? 1.0 : -1.0); }); break;
    case Motion::Steam: loop(4, 180, [](Pose& p, int i) { p.dy = i == 0 ? -0.6 : 0; }); break;
    case Motion::Nod:
        out = {{Pose{}, 400}, {Pose{.dy = 1.8}, 160}, {Pose{}, 160}, {Pose{.dy = 1.8}, 160}};
        break;
    case Motion::Sparkle: loop(4, 150, [](Pose& p, int i) { p.pulse = i % 2 ? 1.15 : 1.0; }); break;
    }
    return out;
}

// ---- output ----

QString XmlEscaped(const QString& s) {
    QString out;
    for (QChar c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

bool TagsArePrefixFree() {
    // Tag expansion takes the shortest tag that matches, so a tag that starts
    // another would hide it.
    std::set<std::string> seen;
    bool ok = true;
    for (const Face& a : kFaces) {
        if (!seen.insert(a.tag).second) {
            std::fprintf(stderr, "face art: tag %s twice\n", a.tag);
            ok = false;
        }
        for (const Face& b : kFaces)
            if (&a != &b && std::string(b.tag).rfind(a.tag, 0) == 0) {
                std::fprintf(stderr, "face art: tag %s starts %s\n", a.tag, b.tag);
                ok = false;
            }
    }
    return ok;
}

void Fail(const QString& what) {
    std::fprintf(stderr, "face art: %s\n", qPrintable(what));
    ++g_failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zeri_face_art SKIN_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    g_out = QString::fromLocal8Bit(argv[1]);
    const QString folder = g_out + "/Face";
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "face art: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    if (!TagsArePrefixFree()) return 1;

    const int count = static_cast<int>(std::size(kFaces));
    QString xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<faces>\n";
    xml += QString("<faceconfig item_width=\"%1\" item_height=\"%1\" zoom_width=\"64\" zoom_height=\"64\" row=\"%2\" col=\"%3\">\n")
               .arg(kPixels)
               .arg((count + kCols - 1) / kCols)
               .arg(kCols);
    for (int i = 0; i < count; ++i) {
        const Face& f = kFaces[i];
        const int id = i + 1;
        const std::vector<Frame> frames = Frames(f.motion);
        QString file;
        if (frames.empty()) {
            file = QString("Face/%1.png").arg(id);
            if (!Render(f, Pose{}).save(g_out + "/" + file, "PNG")) Fail("cannot write " + file);
        } else {
            file = QString("Face/%1.gif").arg(id);
            std::vector<QImage> images;
            std::vector<int> delays;
            for (const Frame& fr : frames) {
                images.push_back(Render(f, fr.pose));
                delays.push_back(fr.ms);
            }
            if (!art::SaveAnimation(g_out + "/" + file, images, delays)) Fail("cannot write " + file);
        }
        const QString tip = QString::fromUtf8(f.tip);
        xml += QString("<face id=\"%1\" tip=\"%2\" tag=\"%3\" text=\"[%2]\" file=\"%4\"/>\n")
                   .arg(id)
                   .arg(XmlEscaped(tip), XmlEscaped(QString::fromUtf8(f.tag)), file);
    }
    xml += "</faceconfig>\n</faces>\n";
    QFile table(folder + "/FaceConfig.xml");
    if (!table.open(QIODevice::WriteOnly) || table.write(xml.toUtf8()) < 0) Fail("cannot write FaceConfig.xml");
    return g_failures == 0 ? 0 : 1;
}

#pragma once
// Shared pieces of the banner and car show tests: timers driven by hand, a
// room window that only answers where and whether to show, and pictures
// written into a temporary folder.

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

#include "core/clock.h"
#include "ui/car_show_dlg.h"
#include "ui/gift_show_dlg.h"

namespace showtest {

inline std::string SkinFolder() { return std::string(ZERI_BUILT_SKIN_ROOT) + "skin/"; }

struct FakeTimers : ITimerHost {
    void SetTimer(unsigned id, unsigned periodMs) override { running[id] = periodMs; }
    void KillTimer(unsigned id) override { running.erase(id); }
    std::map<unsigned, unsigned> running;  // id -> period
};

struct FakeRoom : IGiftShowSlink, ICarShowSlink {
    void GetGiftShowArea(QRect& a) override { a = area; }
    void GetCarShowPoints(std::uint32_t carId, QPoint& start, QPoint& end) override {
        askedFor.push_back(carId);
        if (givePoints) {
            start = startPoint;
            end = endPoint;
        }
    }
    bool RoomWindowVisible() const override { return visible; }

    QRect area{0, 0, 1000, 600};
    bool visible = true;
    bool givePoints = false;
    QPoint startPoint, endPoint;
    std::vector<std::uint32_t> askedFor;
};

class Pictures {
public:
    // A picture of one colour, saved as PNG; its full path.
    std::string Solid(const std::string& name, int w, int h, QColor colour = Qt::green) {
        QImage img(w, h, QImage::Format_ARGB32);
        img.fill(colour);
        const std::string path = Path(name);
        img.save(QString::fromStdString(path), "PNG");
        return path;
    }
    std::string Garbage(const std::string& name) {
        const std::string path = Path(name);
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::WriteOnly);
        f.write("\x89PNG\r\n\x1a\nnot really a picture");
        return path;
    }
    std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }

private:
    QTemporaryDir dir_;
};

}  // namespace showtest

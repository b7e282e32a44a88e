// The face set the build draws into the skin folder: the table as the chat
// code reads it, and pictures that load, move and differ from each other.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <set>
#include <string>

#include "chat/code_text.h"
#include "chat/face_table.h"
#include "tests/ui/ui_test_util.h"

namespace {

bool IsTagWord(const std::string& tag) {
    if (tag.size() < 2 || tag[0] != '/') return false;
    for (std::size_t i = 1; i < tag.size(); ++i)
        if (tag[i] < 'a' || tag[i] > 'z') return false;
    return true;
}

std::string FaceCode(int id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "/f[\"%03d\"]", id);
    return buf;
}

QByteArray PixelsOf(QImage img) {
    img = img.convertToFormat(QImage::Format_ARGB32);
    QByteArray out;
    for (int y = 0; y < img.height(); ++y)
        out.append(reinterpret_cast<const char*>(img.constScanLine(y)), img.width() * 4);
    return out;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FaceSet : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(faces.Load(uitest::SkinRoot())); }
    CFaceTable faces;
};

}  // namespace

TEST_F(FaceSet, TheTableHasSixtyFacesAndEveryTagTypesItsOwnFace) {
    ASSERT_GE(faces.Entries().size(), 60u);
    std::set<int> ids;
    std::set<std::string> tips;
    int expectedId = 1;
    for (const FaceEntry& e : faces.Entries()) {
        SCOPED_TRACE(e.tag);
        EXPECT_EQ(e.id, expectedId++) << "ids run 1..N in file order";
        EXPECT_TRUE(ids.insert(e.id).second);
        EXPECT_TRUE(IsTagWord(e.tag));
        EXPECT_TRUE(tips.insert(e.tip).second) << "two faces share the tip " << e.tip;
        EXPECT_FALSE(e.tip.empty());
        EXPECT_GT(static_cast<unsigned char>(e.tip[0]), 0x7F) << "tips are Chinese";
        EXPECT_EQ(e.text, "[" + e.tip + "]");
        EXPECT_FALSE(e.imagePath.empty());
        // What a user types becomes this face and no other, alone and in a line.
        EXPECT_EQ(ExpandFaceTags(e.tag, faces), FaceCode(e.id));
        EXPECT_EQ(ExpandFaceTags("a" + e.tag + " b", faces), "a" + FaceCode(e.id) + " b");
        EXPECT_EQ(ExpandFaceTags(e.tag + e.tag, faces), FaceCode(e.id) + FaceCode(e.id));
    }
    const FaceLayout& l = faces.Layout();
    EXPECT_GT(l.itemWidth, 0);
    EXPECT_GT(l.cols, 0);
    EXPECT_GE(l.rows * l.cols, static_cast<int>(faces.Entries().size())) << "the grid holds every face";
}

TEST_F(FaceSet, EveryPictureDecodesAtItsCellSizeAndTheAnimatedOnesMove) {
    int animated = 0;
    std::set<QByteArray> looks;
    for (const FaceEntry& e : faces.Entries()) {
        SCOPED_TRACE(e.file);
        QImageReader reader(QString::fromStdString(e.imagePath));
        ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
        std::vector<QImage> frames;
        std::vector<int> delays;
        for (;;) {
            QImage frame = reader.read();
            if (frame.isNull()) break;
            frames.push_back(frame);
            // The reader gives the delay of the frame it has just read.
            delays.push_back(reader.nextImageDelay());
        }
        ASSERT_FALSE(frames.empty());
        const QImage& first = frames.front();
        EXPECT_EQ(first.width(), faces.Layout().itemWidth);
        EXPECT_EQ(first.height(), faces.Layout().itemHeight);
        // Drawn on a clear ground: the corners show the line behind the face.
        EXPECT_EQ(qAlpha(first.pixel(0, first.height() - 1)), 0);
        EXPECT_EQ(qAlpha(first.pixel(first.width() / 2, first.height() / 2)), 255);
        EXPECT_TRUE(looks.insert(PixelsOf(first)).second) << "looks like an earlier face";

        const bool gif = e.file.size() > 4 && e.file.substr(e.file.size() - 4) == ".gif";
        if (!gif) {
            EXPECT_EQ(frames.size(), 1u);
            continue;
        }
        ++animated;
        EXPECT_GT(frames.size(), 1u);
        std::set<QByteArray> distinct;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_GE(delays[i], 100) << "frame " << i;
            distinct.insert(PixelsOf(frames[i]));
        }
        EXPECT_GT(distinct.size(), 1u) << "the frames are all the same";
    }
    EXPECT_GE(animated, 6);
}

TEST_F(FaceSet, TheSmallTableOfTheSourcesNamesTheSameFaces) {
    // Lines already sent carry face ids: both tables must agree on them.
    CFaceTable sources;
    ASSERT_TRUE(sources.Load(ZERI_SOURCE_DIR));
    ASSERT_FALSE(sources.Empty());
    for (const FaceEntry& e : sources.Entries()) {
        const FaceEntry* built = faces.FindById(e.id);
        ASSERT_NE(built, nullptr) << e.id;
        EXPECT_EQ(built->tag, e.tag) << e.id;
        EXPECT_EQ(built->tip, e.tip) << e.id;
        EXPECT_EQ(built->text, e.text) << e.id;
    }
}

TEST(FaceArt, TheGeneratorWritesTheSameSetEachTime) {
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    run.setProcessEnvironment(env);
    run.start(ZERI_FACE_ART, {out.path()});
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(run.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();

    const QString built = QString::fromStdString(uitest::SkinFolder()) + "Face/";
    const QStringList names = QDir(out.path() + "/Face").entryList(QDir::Files, QDir::Name);
    ASSERT_GT(names.size(), 60);
    for (const QString& name : names) {
        const QByteArray fresh = FileBytes(out.path() + "/Face/" + name);
        EXPECT_FALSE(fresh.isEmpty()) << name.toStdString();
        EXPECT_EQ(fresh, FileBytes(built + name)) << name.toStdString();
    }
}

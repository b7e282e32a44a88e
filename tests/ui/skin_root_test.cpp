// Where a client finds its skins: beside it (a copied program), or in
// ../share/zeri/ (installed by cmake --install), or in the build tree.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/files.h"
#include "core/paths.h"
#include "ui/skin_root.h"

namespace {
void PutSkin(const std::string& root) {
    ASSERT_TRUE(paths::MakeDirs(root + "skin/"));
    ASSERT_TRUE(files::WriteFileAtomic(root + "skin/RoomUI.xml", "<Window/>"));
}
}  // namespace

TEST(SkinRoot, BesideTheProgramThenUnderItsPrefixThenTheBuildTree) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string prefix = dir.path().toStdString() + "/";
    ASSERT_TRUE(paths::MakeDirs(prefix + "bin/"));

    // Installed: bin/zeri and share/zeri/skin/ under one prefix; the folder
    // comes back without "..", as the skin manager compares cleaned paths.
    PutSkin(prefix + "share/zeri/");
    EXPECT_EQ(ui::FindSkinRoot(prefix + "bin/"), prefix + "share/zeri/");
    EXPECT_EQ(ui::FindSkinRoot(prefix + "bin"), prefix + "share/zeri/");

    // A skin beside the program wins.
    PutSkin(prefix + "bin/");
    EXPECT_EQ(ui::FindSkinRoot(prefix + "bin/"), prefix + "bin/");

    // Neither: the build tree's, which holds the room skin.
    QTemporaryDir bare;
    ASSERT_TRUE(bare.isValid());
    const std::string none = bare.path().toStdString() + "/bin/";
    ASSERT_TRUE(paths::MakeDirs(none));
    const std::string found = ui::FindSkinRoot(none);
    EXPECT_EQ(found.find(bare.path().toStdString()), std::string::npos) << found;
    EXPECT_TRUE(paths::DirExists(found + "skin/")) << found;
}

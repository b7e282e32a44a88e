// Layouts place controls as the skin's sizes say, and follow visibility.
#include <gtest/gtest.h>

#include "dui_test_util.h"
#include "platform/dui/control.h"

#include <QFile>
#include <QTemporaryDir>

using duitest::Geo;
using duitest::TestWindow;

TEST(Layout, FixedSizesPaddingGapsAndBoundsShareTheRest) {
    TestWindow w(duitest::TestSkins(), "layout.xml");
    ASSERT_TRUE(w.Create()) << w.SkinError();
    EXPECT_EQ(w.size(), QSize(300, 200));
    EXPECT_EQ(Geo(w, "root"), QRect(0, 0, 300, 200));
    EXPECT_EQ(Geo(w, "top"), QRect(10, 10, 280, 30));
    EXPECT_EQ(Geo(w, "row"), QRect(10, 50, 280, 115)) << "180 - 30 - 20 - padding 5 - two gaps of 5";
    EXPECT_EQ(Geo(w, "bottom"), QRect(30, 170, 100, 20));
    EXPECT_EQ(Geo(w, "left"), QRect(10, 50, 50, 115));
    EXPECT_EQ(Geo(w, "right"), QRect(140, 50, 150, 115)) << "its share of 111 is under its minimum";
    EXPECT_EQ(Geo(w, "middle"), QRect(64, 50, 72, 115));
    EXPECT_EQ(Geo(w, "floater"), QRect(200, 5, 60, 20));

    w.show();
    w.resize(400, 200);
    EXPECT_EQ(Geo(w, "middle").width(), 161) << "322 px shared: now above the right one's minimum";
    EXPECT_EQ(Geo(w, "right").width(), 161);

    w.SetControlVisible("top", false);
    EXPECT_EQ(Geo(w, "row"), QRect(10, 10, 380, 155)) << "hidden controls leave the flow";
    w.SetControlVisible("top", true);
    EXPECT_EQ(Geo(w, "row"), QRect(10, 50, 380, 115));
}

TEST(Layout, TilesAndTabs) {
    TestWindow w(duitest::TestSkins(), "tiles.xml");
    ASSERT_TRUE(w.Create()) << w.SkinError();
    EXPECT_EQ(Geo(w, "t0"), QRect(10, 10, 60, 40));
    EXPECT_EQ(Geo(w, "t1"), QRect(80, 10, 60, 40));
    EXPECT_EQ(Geo(w, "t2"), QRect(150, 10, 60, 40));
    EXPECT_EQ(Geo(w, "t3"), QRect(10, 60, 60, 60)) << "a row without heights is square";

    auto* tabs = w.FindControl<CTabLayoutUI>("tabs");
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(w.IsControlVisible("grid"));
    EXPECT_FALSE(w.IsControlVisible("cells"));
    ASSERT_TRUE(tabs->SelectItem(1));
    EXPECT_FALSE(w.IsControlVisible("grid"));
    EXPECT_TRUE(w.IsControlVisible("cells"));
    EXPECT_EQ(Geo(w, "c3"), QRect(0, 30, 60, 30)) << "220 px hold three 60 px cells";
    auto tabNotes = w.Of("tabselect");
    ASSERT_EQ(tabNotes.size(), 1u);
    EXPECT_EQ(tabNotes[0].name, "tabs");
    EXPECT_EQ(tabNotes[0].wParam, 1u);
    EXPECT_EQ(tabNotes[0].lParam, 0);
    EXPECT_FALSE(tabs->SelectItem(5));
}

TEST(Layout, ContainersTakeAndDropChildrenAtRunTime) {
    TestWindow w(duitest::TestSkins(), "layout.xml");
    ASSERT_TRUE(w.Create());
    auto* root = w.FindControl<CContainerUI>("root");
    ASSERT_NE(root, nullptr);
    auto* extra = new CControlUI;
    extra->SetName("extra");
    extra->SetAttribute("height", "15");
    ASSERT_TRUE(root->AddAt(extra, 0));
    EXPECT_EQ(Geo(w, "extra"), QRect(10, 10, 280, 15));
    EXPECT_EQ(Geo(w, "top").top(), 30);
    EXPECT_EQ(w.FindControl("extra"), extra);
    ASSERT_TRUE(root->Remove(extra));
    EXPECT_EQ(w.FindControl("extra"), nullptr);
    EXPECT_EQ(Geo(w, "top").top(), 10);

    // A control deleted from outside leaves its container consistent.
    const int before = root->GetCount();
    delete w.FindControl("bottom");
    EXPECT_EQ(root->GetCount(), before - 1);
    w.show();
    w.resize(310, 200);
    EXPECT_EQ(w.FindControl("bottom"), nullptr);
}

TEST(Layout, HostileSizesStayBounded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile f(dir.filePath("huge.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<Window size='100,100'><VerticalLayout name='root' childpadding='2147483647'>"
            "<Control name='a' height='99999999999' padding='2147483647,2147483647,-5,2147483647'/>"
            "<Control name='b' minheight='2147483647'/><Control name='c' maxheight='-4'/>"
            "</VerticalLayout></Window>");
    f.close();
    TestWindow w(dir.path().toStdString(), "huge.xml");
    ASSERT_TRUE(w.Create());
    EXPECT_NE(w.FindControl("c"), nullptr);
    w.show();
    w.resize(120, 90);  // lays out again without overflow (UBSan watches)
}

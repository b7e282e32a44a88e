// Popup menus from menu skins: choices reach the owner as "menu_msg" with the
// element's name.
#include <gtest/gtest.h>

#include "dui_test_util.h"
#include "platform/dui/menu.h"

using duitest::Click;
using duitest::Note;
using duitest::TestWindow;

namespace {

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.Create()) << owner.SkinError();
        owner.show();
        owner.notes.clear();
    }
    TestWindow owner{duitest::TestSkins(), "notify.xml"};
};

}  // namespace

TEST(Menu, TheChatViewMenuHasEveryEntryTheRoomHandles) {
    TestWindow owner(duitest::TestSkins(), "notify.xml");
    ASSERT_TRUE(owner.Create());
    auto* menu = new CMenuWnd(&owner, std::string(ZERI_SKIN_DIR) + "RoomRecvEditMenu.xml");
    ASSERT_TRUE(menu->IsLoaded()) << menu->Error();
    for (const char* name : {"Menu_Copy", "Menu_SelAll", "Menu_Clear", "Menu_SaveAs"})
        EXPECT_NE(menu->FindElement(name), nullptr) << name;
    for (const char* name : {"Menu_ZoomRatio_400", "Menu_ZoomRatio_200", "Menu_ZoomRatio_150", "Menu_ZoomRatio_125",
                             "Menu_ZoomRatio_100", "Menu_ZoomRatio_75", "Menu_ZoomRatio_50"})
        EXPECT_TRUE(menu->SetElementAttribute(name, "checkimg", "file='menu_check.png' dest='4,4,20,20'")) << name;
    EXPECT_FALSE(menu->FindElement("Menu_SaveAs")->isEnabled()) << "saving needs a picture under the cursor";
    delete menu;
}

TEST_F(MenuTest, ClickingAnElementTellsTheOwnerAndCloses) {
    auto* menu = new CMenuWnd(&owner, "test_menu.xml");  // found in the owner's skin folder
    ASSERT_TRUE(menu->IsLoaded()) << menu->Error();
    QPointer<CMenuWnd> alive(menu);
    menu->Popup(owner.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(menu->isVisible());
    EXPECT_GE(menu->width(), 120);
    EXPECT_EQ(menu->height(), 24 * 3 + 7 + 4) << "three items, a separator and the inset";

    Click(menu->FindElement("Menu_UserInfo"));
    EXPECT_TRUE(owner.notes.empty()) << "disabled elements cannot be chosen";
    EXPECT_TRUE(menu->isVisible());

    Click(menu->FindElement("Menu_Kick"));
    EXPECT_EQ(owner.notes, (std::vector<Note>{{"menu_msg", "Menu_Kick", 0, 0}}));
    EXPECT_FALSE(menu->isVisible());
    ASSERT_TRUE(duitest::Pump([&] { return alive.isNull(); })) << "a closed menu deletes itself";
}

TEST_F(MenuTest, SubmenusOpenAndTheirChoicesComeByName) {
    auto* menu = new CMenuWnd(&owner, duitest::TestSkins() + "test_menu.xml");
    ASSERT_TRUE(menu->IsLoaded());
    ASSERT_TRUE(menu->AddElement("MenuElementPower_7", "管理", "Menu_Power"));
    ASSERT_TRUE(menu->AddElement("Menu_AddFirend", "加为好友"));
    ASSERT_TRUE(menu->SetElementChecked("MenuElementPower_2", true));
    EXPECT_FALSE(menu->AddElement("x", "y", "no_parent"));
    menu->Popup(owner.mapToGlobal(QPoint(10, 10)));

    Click(menu->FindElement("Menu_Power"));
    EXPECT_TRUE(owner.notes.empty()) << "an element with a submenu opens it instead";
    CMenuWnd* sub = menu->OpenSubmenu();
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(sub->ElementCount(), 3);
    EXPECT_TRUE(sub->FindElement("MenuElementPower_2")->IsChecked());
    EXPECT_GE(sub->x(), menu->x() + menu->width() - 1) << "opens beside its element";

    Click(sub->FindElement("MenuElementPower_7"));
    EXPECT_EQ(owner.notes, (std::vector<Note>{{"menu_msg", "MenuElementPower_7", 0, 0}}));
    EXPECT_FALSE(menu->isVisible()) << "the whole menu chain closes";
}

TEST_F(MenuTest, BadMenusShowNothingAndAGoneOwnerHearsNothing) {
    auto* bad = new CMenuWnd(&owner, duitest::TestSkins() + "broken.xml");
    EXPECT_FALSE(bad->IsLoaded());
    EXPECT_FALSE(bad->Error().empty());
    EXPECT_EQ(bad->FindElement("Menu_Copy"), nullptr);
    EXPECT_FALSE(bad->SetElementEnabled("Menu_Copy", false));
    QPointer<CMenuWnd> badAlive(bad);
    bad->Popup(QPoint(0, 0));
    EXPECT_FALSE(bad->isVisible());
    ASSERT_TRUE(duitest::Pump([&] { return badAlive.isNull(); }));

    auto* notMenu = new CMenuWnd(&owner, duitest::TestSkins() + "layout.xml");
    EXPECT_FALSE(notMenu->IsLoaded());
    EXPECT_NE(notMenu->Error().find("not <Menu>"), std::string::npos);
    delete notMenu;

    auto* owner2 = new TestWindow(duitest::TestSkins(), "notify.xml");
    ASSERT_TRUE(owner2->Create());
    auto* menu = new CMenuWnd(owner2, duitest::TestSkins() + "test_menu.xml");
    QPointer<CMenuWnd> menuAlive(menu);
    delete owner2;  // takes its menus with it
    EXPECT_TRUE(menuAlive.isNull());
}

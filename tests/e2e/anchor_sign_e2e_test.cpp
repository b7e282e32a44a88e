// The anchor's clock-in and sign-in between a headless client and the
// server's check-in port over real HTTP: what the anchor types and sees, the
// cycle kept in sign.dat, and a guest who has no such controls.
#include <gtest/gtest.h>

#include "core/service_hosts.h"
#include "core/sign.h"
#include "platform/kitlib/kitlib.h"
#include "tests/e2e/e2e_client.h"
#include "tests/e2e/e2e_fixture.h"

using e2e::CTestClient;
using e2e::WaitFor;
using e2e::kCarol;
using e2e::kDave;
using e2e::kHall;

namespace {

class AnchorSignE2E : public e2e::RoomFixture {
protected:
    void SetUp() override {
        RoomFixture::SetUp();
        // Another test may have stopped the process's HTTP helper.
        KITLIB_Init(0);
        SetServiceHosts(ServiceHosts{"127.0.0.1", 8000, srv.srv->checkinPort()});
    }
    void TearDown() override {
        KITLIB_SetCredentials(0, std::string());
        SetServiceHosts(ServiceHosts{});
        RoomFixture::TearDown();
    }
};

}  // namespace

TEST_F(AnchorSignE2E, TheAnchorClocksInAndSignsInAndAGuestCannot) {
    ASSERT_NE(srv.srv->checkinPort(), 0);
    CTestClient carol(srv, kCarol), dave(srv, kDave);
    // The check-in port takes the session's token, as the program sets it at sign-in.
    KITLIB_SetCredentials(kCarol.id, carol.session().me().token);
    carol.Enter(kHall);
    dave.Enter(kHall);
    ASSERT_TRUE(WaitFor([&] { return carol.session().loggedIn() && dave.session().loggedIn(); }));
    EXPECT_TRUE(carol.view().Find("bnt_card")->visible);
    EXPECT_FALSE(dave.view().Find("bnt_card")->visible);

    Type(dave, "/card");
    ASSERT_TRUE(WaitFor([&] { return Printed(dave, "tip: 无权限!"); })) << Output(dave);

    Type(carol, "/card");
    ASSERT_TRUE(WaitFor([&] { return Printed(carol, "tip: 打卡成功"); })) << Output(carol);
    const SignRecord cycle = LoadSign(kCarol.id);
    EXPECT_GT(cycle.cycleStart, 0);
    EXPECT_GE(cycle.value, 300);
    EXPECT_LE(cycle.value, 900);

    // The cycle is live on the server: a sign-in counts at once.
    Type(carol, "/sign");
    ASSERT_TRUE(WaitFor([&] { return Printed(carol, "tip: 签到成功"); })) << Output(carol);
    EXPECT_GE(LoadSign(kCarol.id).lastSignIn, cycle.cycleStart);
}

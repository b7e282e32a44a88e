#pragma once
// What every end-to-end room test shares: the in-process server with the demo
// data, a data folder per test, the power list handed to a client, a server
// restart on the same ports and database, typing at a client's input, and
// reading what a client shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/paths.h"
#include "tests/e2e/e2e_client.h"

namespace e2e {

// The demo's users in room 1001: Alice owns it, Bob manages it, Carol is its
// anchor, Dave and Erin are guests.
using testsupport::kAlice;
using testsupport::kBob;
inline constexpr testsupport::DemoLogin kCarol{"carol", "carol-demo", 10003};
inline constexpr testsupport::DemoLogin kDave{"dave", "dave-demo", 10004};
inline constexpr testsupport::DemoLogin kErin{"erin", "erin-demo", 10005};
inline constexpr std::uint32_t kHall = 1001;

class RoomFixture : public ::testing::Test {
protected:
    void SetUp() override { paths::SetDataFolderOverride(data.path()); }
    void TearDown() override { paths::SetDataFolderOverride(""); }

    // The power list as the room service's "m=LB" answer carries it, from
    // the server's own rules: the service is not served by zeri-server yet.
    void GivePowers(CTestClient& c) {
        std::string list = "[";
        for (const auto& r : srv.db().PowerRules()) {
            if (list.size() > 1) list += ",";
            list += "{\\\"powerid\\\":" + std::to_string(r.powerId) + ",\\\"role\\\":" +
                    std::to_string(r.role) + ",\\\"yes_no\\\":" + std::to_string(r.yesNo) +
                    ",\\\"by_role\\\":" + std::to_string(r.byRole) + "}";
        }
        list += "]";
        c.session().OnPowerList(R"({"CMD":31008,"CODE":0,"OBJ":{"power":")" + list + "\"}}");
        ASSERT_FALSE(c.session().powers().Empty());
    }

    // Stops the server and starts it again on the same ports and database.
    void RestartServer() {
        server::ServerOptions o;
        o.dataDir = srv.dir.path();
        o.listen = "127.0.0.1";
        o.port = srv.relayPort();
        o.accountPort = srv.accountPort();
        o.cataloguePort = srv.srv->cataloguePort();
        o.threads = 2;
        srv.srv->Stop();
        srv.srv.reset();
        srv.srv = std::make_unique<server::CZeriServer>(o, server::RoomLimits{}, &srv.clock);
        std::string err;
        ASSERT_TRUE(srv.srv->Start(err)) << err;
    }

    static bool SeesUsers(CTestClient& c, std::size_t n) {
        return WaitFor([&] { return c.session().loggedIn() && c.session().users().size() == n; });
    }
    // The people count and the list follow the users map; the list keeps
    // the order: higher wealth grade first, then the lower role number.
    static void ExpectListMatchesUsers(CTestClient& c) {
        const auto& users = c.session().users();
        const auto& items = c.session().userList().items();
        EXPECT_EQ(c.view().Text("Lable_RoomPeople"), std::to_string(users.size()));
        ASSERT_EQ(items.size(), users.size());
        EXPECT_EQ(c.view().UserLines().size(), users.size());
        for (const auto& item : items) EXPECT_EQ(users.count(item.userId), 1u) << item.userId;
        for (std::size_t i = 1; i < items.size(); ++i) {
            const auto& a = items[i - 1];
            const auto& b = items[i];
            EXPECT_TRUE(a.wealthGrade > b.wealthGrade ||
                        (a.wealthGrade == b.wealthGrade && a.role <= b.role))
                << a.userId << " before " << b.userId;
        }
    }
    // Output lines of the client holding `text`.
    static int PrintedTimes(CTestClient& c, const std::string& text) {
        const auto& lines = c.view().Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(text) != std::string::npos;
        }));
    }
    static bool Printed(CTestClient& c, const std::string& text) { return PrintedTimes(c, text) > 0; }
    // The latest output line starting with `prefix`; empty when none.
    static std::string LastPrinted(CTestClient& c, const std::string& prefix) {
        const auto& lines = c.view().Lines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            if (it->rfind(prefix, 0) == 0) return *it;
        return {};
    }
    // Lines of a chat view holding `text`.
    static int ChatLinesWith(CTestClient& c, const std::string& text,
                             const std::string& view = "Edit_RecvChat") {
        const CHeadlessChatView* v = c.view().FindChat(view);
        if (!v) return 0;
        return static_cast<int>(std::count_if(v->Lines().begin(), v->Lines().end(), [&](const std::string& l) {
            return l.find(text) != std::string::npos;
        }));
    }
    static std::string ChatText(CTestClient& c) {
        std::string all;
        if (const CHeadlessChatView* v = c.view().FindChat("Edit_RecvChat"))
            for (const auto& l : v->Lines()) all += l + "\n";
        return all;
    }
    // Everything the client printed, for failure messages.
    static std::string Output(CTestClient& c) {
        std::string all;
        for (const auto& l : c.view().Lines()) all += l + "\n";
        return all;
    }
    // Typed on the client's standard input.
    static void Type(CTestClient& c, const std::string& line) {
        PostMessage(c.host(), UM_CONSOLE_LINE, 0, 0,
                    std::make_unique<TMessageData<std::string>>(line));
    }

    testsupport::AccountServer srv;
    testsupport::TempFolder data;
};

}  // namespace e2e

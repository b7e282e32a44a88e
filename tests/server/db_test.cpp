// The server database: migrations, accounts, tokens, roles and the demo seed.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <fstream>
#include <set>
#include <sstream>

#include "net/power.h"
#include "server/database.h"
#include "server/password.h"
#include "server/seed.h"
#include "server_fixture.h"

using namespace server;
using srvtest::TempDir;

namespace {

constexpr std::uint32_t kFastIterations = 1000;  // the format, not the cost, is under test

std::int64_t Query(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    std::int64_t v = -1;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return v;
}

// Everything on disk for the database (main file and write-ahead log).
std::string DiskBytes(const std::string& path) {
    std::string all;
    for (const char* suffix : {"", "-wal"}) {
        std::ifstream in(path + suffix, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        all += ss.str();
    }
    return all;
}

}  // namespace

// --- migrations ------------------------------------------------------------

TEST(ServerDbMigrations, EachRunsOnceInOrderAndDataSurvivesReopening) {
    TempDir dir;
    const std::string path = dir.file("m.db");
    const std::vector<Migration> v1 = {{1, "t", "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1);"}};
    std::vector<Migration> v2 = v1;
    v2.push_back({2, "more", "INSERT INTO t VALUES (2);"});

    std::string err;
    {
        CServerDb db;
        ASSERT_TRUE(db.Open(path, v1, err)) << err;
        EXPECT_EQ(db.SchemaVersion(), 1);
    }
    {
        CServerDb db;
        ASSERT_TRUE(db.Open(path, v1, err)) << err;  // nothing new: nothing runs
    }
    EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM t"), 1);
    {
        CServerDb db;
        ASSERT_TRUE(db.Open(path, v2, err)) << err;  // only the new one runs
        EXPECT_EQ(db.SchemaVersion(), 2);
    }
    EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM t"), 2);
    EXPECT_EQ(Query(path, "SELECT SUM(x) FROM t"), 3);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw, "PRAGMA journal_mode", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
    sqlite3_finalize(st);
    sqlite3_close(raw);
}

TEST(ServerDbMigrations, FailedMigrationLeavesThePreviousStateAndNewerSchemasAreRefused) {
    TempDir dir;
    const std::string path = dir.file("m.db");
    const std::vector<Migration> v1 = {{1, "t", "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1);"}};
    std::vector<Migration> broken = v1;
    broken.push_back({2, "half", "INSERT INTO t VALUES (5); THIS IS NOT SQL;"});
    std::string err;
    {
        CServerDb db;
        ASSERT_TRUE(db.Open(path, v1, err)) << err;
    }
    CServerDb db;
    EXPECT_FALSE(db.Open(path, broken, err));
    EXPECT_NE(err.find("migration 2 (half)"), std::string::npos) << err;
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(Query(path, "PRAGMA user_version"), 1);
    EXPECT_EQ(Query(path, "SELECT SUM(x) FROM t"), 1);  // the 5 was rolled back

    // A database from a newer program is not touched by an older one.
    std::vector<Migration> v2 = v1;
    v2.push_back({2, "ok", "INSERT INTO t VALUES (2);"});
    ASSERT_TRUE(db.Open(path, v2, err)) << err;
    db.Close();
    err.clear();
    EXPECT_FALSE(db.Open(path, v1, err));
    EXPECT_NE(err.find("newer"), std::string::npos) << err;

    // A list with a gap is a programming error, reported before anything runs.
    const std::vector<Migration> gap = {{1, "a", "SELECT 1;"}, {3, "c", "SELECT 1;"}};
    EXPECT_FALSE(db.Open(dir.file("gap.db"), gap, err));
}

TEST(ServerDbMigrations, RealSchemaCreatesEveryTableAndKeepsRowsAcrossOpens) {
    TempDir dir;
    const std::string path = dir.file("zeri-server.db");
    std::string err;
    std::uint32_t id = 0;
    {
        CServerDb db;
        ASSERT_TRUE(db.Open(path, err)) << err;
        EXPECT_EQ(db.SchemaVersion(), static_cast<int>(SchemaMigrations().size()));
        for (const char* t : {"users", "rooms", "roles", "room_roles", "power_rules", "room_gags",
                              "room_kicks", "moderation_log"})
            EXPECT_EQ(db.CountRows(t), 0) << t;
        EXPECT_EQ(db.CountRows("sqlite_master"), -1);  // only known tables are counted
        ASSERT_TRUE(db.AddUser("mia", "pw", "米娅", 1, 0, kFastIterations, &id, err)) << err;
        ASSERT_TRUE(db.PutRoom({77, "r", "a", 2, 5, "f"}, false));
    }
    CServerDb db;
    ASSERT_TRUE(db.Open(path, err)) << err;
    const auto u = db.UserById(id);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->name, "mia");
    EXPECT_EQ(u->nickname, "米娅");
    EXPECT_EQ(db.CheckPassword("mia", "pw"), id);
    const auto r = db.RoomById(77);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mode, 2);
    EXPECT_EQ(r->chatInterval, 5u);
}

// --- passwords and tokens --------------------------------------------------

TEST(ServerPasswords, VerifyOnlyTheRightPasswordAndRejectDamagedRecords) {
    PasswordHash a, b;
    ASSERT_TRUE(HashPassword("s3cret", kFastIterations, a));
    ASSERT_TRUE(HashPassword("s3cret", kFastIterations, b));
    EXPECT_EQ(a.salt.size(), kSaltBytes);
    EXPECT_NE(a.salt, b.salt);  // fresh salt each time,
    EXPECT_NE(a.hash, b.hash);  // so equal passwords do not show
    EXPECT_TRUE(VerifyPassword("s3cret", a));
    EXPECT_TRUE(VerifyPassword("s3cret", b));
    // The NUL case: the whole text counts, not a C string's prefix.
    for (const std::string& wrong : {std::string(), std::string("s3cre"), std::string("s3cret "),
                                     std::string("S3cret"), std::string("s3cret\0x", 8)})
        EXPECT_FALSE(VerifyPassword(wrong, a)) << wrong;

    PasswordHash t = a;
    t.hash[5] ^= 1;
    EXPECT_FALSE(VerifyPassword("s3cret", t));
    t = a;
    t.salt[0] ^= 1;
    EXPECT_FALSE(VerifyPassword("s3cret", t));
    t = a;
    t.iterations += 1;
    EXPECT_FALSE(VerifyPassword("s3cret", t));
    t = a;
    t.iterations = 0;
    EXPECT_FALSE(VerifyPassword("s3cret", t));
    t = a;
    t.salt.clear();
    EXPECT_FALSE(VerifyPassword("s3cret", t));
    t = a;
    t.hash.resize(16);
    EXPECT_FALSE(VerifyPassword("s3cret", t));

    PasswordHash empty;
    ASSERT_TRUE(HashPassword("", kFastIterations, empty));
    EXPECT_TRUE(VerifyPassword("", empty));
    EXPECT_FALSE(VerifyPassword(" ", empty));
}

TEST(ServerPasswords, AccountsCheckByNameAndNeverStoreThePassword) {
    TempDir dir;
    CServerDb db;
    std::string err;
    ASSERT_TRUE(db.Open(dir.file("a.db"), err)) << err;
    std::uint32_t id = 0;
    const std::string password = "Correct-Horse-7391";
    ASSERT_TRUE(db.AddUser("Nora", password, "诺拉", 1, 0, kFastIterations, &id, err)) << err;
    EXPECT_EQ(db.CheckPassword("Nora", password), id);
    EXPECT_EQ(db.CheckPassword("nora", password), id);  // names ignore case
    EXPECT_FALSE(db.CheckPassword("Nora", "correct-horse-7391"));
    EXPECT_FALSE(db.CheckPassword("Nobody", password));

    EXPECT_FALSE(db.AddUser("NORA", "x", "", 0, 0, kFastIterations, nullptr, err));
    EXPECT_NE(err.find("taken"), std::string::npos);
    EXPECT_FALSE(db.AddUser("other", "x", "", 0, id, kFastIterations, nullptr, err));
    EXPECT_FALSE(db.AddUser("", "x", "", 0, 0, kFastIterations, nullptr, err));

    const std::string token = db.IssueToken(id, std::time(nullptr), 3600);
    ASSERT_FALSE(token.empty());
    db.Close();
    const std::string disk = DiskBytes(dir.file("a.db"));
    EXPECT_NE(disk.find("Nora"), std::string::npos);  // the scan does see the file
    EXPECT_EQ(disk.find(password), std::string::npos);
    EXPECT_EQ(disk.find(token), std::string::npos);
}

TEST(ServerTokens, AcceptOnlyTheLiveTokenOfItsOwnUser) {
    TempDir dir;
    CServerDb db;
    std::string err;
    ASSERT_TRUE(db.Open(dir.file("t.db"), err)) << err;
    std::uint32_t a = 0, b = 0;
    ASSERT_TRUE(db.AddUser("a", "pa", "", 0, 0, kFastIterations, &a, err));
    ASSERT_TRUE(db.AddUser("b", "pb", "", 0, 0, kFastIterations, &b, err));
    const std::int64_t now = 1'800'000'000;

    EXPECT_EQ(db.CheckToken(a, "anything", now), TokenCheck::no_token);
    const std::string ta = db.IssueToken(a, now, 600);
    const std::string tb = db.IssueToken(b, now, 600);
    ASSERT_EQ(ta.size(), 64u);
    EXPECT_LE(ta.size(), kMaxTokenLength);
    EXPECT_NE(ta, tb);

    EXPECT_EQ(db.CheckToken(a, ta, now), TokenCheck::ok);
    EXPECT_EQ(db.CheckToken(a, ta, now + 599), TokenCheck::ok);
    EXPECT_EQ(db.CheckToken(a, ta, now + 600), TokenCheck::expired);
    EXPECT_EQ(db.CheckToken(a, tb, now), TokenCheck::mismatch);  // someone else's
    EXPECT_EQ(db.CheckToken(a, ta.substr(0, 63), now), TokenCheck::mismatch);
    EXPECT_EQ(db.CheckToken(a, "", now), TokenCheck::mismatch);
    EXPECT_EQ(db.CheckToken(a, std::string(500, 'a'), now), TokenCheck::mismatch);
    EXPECT_EQ(db.CheckToken(99999, ta, now), TokenCheck::no_token);

    // A new token replaces the old one; revoking ends it.
    const std::string ta2 = db.IssueToken(a, now, 600);
    EXPECT_EQ(db.CheckToken(a, ta, now), TokenCheck::mismatch);
    EXPECT_EQ(db.CheckToken(a, ta2, now), TokenCheck::ok);
    EXPECT_TRUE(db.RevokeToken(a));
    EXPECT_EQ(db.CheckToken(a, ta2, now), TokenCheck::no_token);
    EXPECT_EQ(db.CheckToken(b, tb, now), TokenCheck::ok);  // untouched

    EXPECT_TRUE(db.IssueToken(99999, now, 600).empty());  // no such user
    EXPECT_TRUE(db.IssueToken(a, now, 0).empty());
}

TEST(ServerRoles, RoomRolesExpireToGuestAndNeedAKnownRole) {
    TempDir dir;
    CServerDb db;
    std::string err;
    ASSERT_TRUE(db.Open(dir.file("r.db"), err)) << err;
    std::uint32_t u = 0;
    ASSERT_TRUE(db.AddUser("u", "p", "", 0, 0, kFastIterations, &u, err));
    ASSERT_TRUE(db.PutRoom({5, "five", "", 1, 0, ""}, false));
    ASSERT_TRUE(db.PutRole({kRoleManager, "管理员", "#1E88E5"}, false));
    ASSERT_TRUE(db.PutRole({kRoleAnchor, "主播", "#8E24AA"}, false));
    const std::int64_t now = 1'800'000'000;

    EXPECT_EQ(db.RoomRole(5, u, now), kRoleGuest);
    ASSERT_TRUE(db.SetRoomRole(5, u, kRoleManager, 0));
    EXPECT_EQ(db.RoomRole(5, u, now), kRoleManager);
    EXPECT_EQ(db.RoomRole(6, u, now), kRoleGuest);  // roles are per room
    ASSERT_TRUE(db.SetRoomRole(5, u, kRoleAnchor, now + 60));
    EXPECT_EQ(db.RoomRole(5, u, now + 59), kRoleAnchor);
    EXPECT_EQ(db.RoomRole(5, u, now + 60), kRoleGuest);
    EXPECT_FALSE(db.SetRoomRole(5, u, 99, 0));  // not in the roles table

    // Replacing a role keeps the room roles that use it.
    ASSERT_TRUE(db.PutRole({kRoleAnchor, "主持", "#000000"}, true));
    EXPECT_EQ(db.RoomRole(5, u, now + 1), kRoleAnchor);
    EXPECT_EQ(db.Roles().back().name, "主持");
    // And so does replacing the room.
    ASSERT_TRUE(db.PutRoom({5, "renamed", "", 3, 0, ""}, true));
    EXPECT_EQ(db.RoomById(5)->name, "renamed");
    EXPECT_EQ(db.RoomRole(5, u, now + 1), kRoleAnchor);
}

// --- moderation --------------------------------------------------------------

TEST(ServerModeration, GagsKicksAndModesPersistAndTheLogOnlyGrows) {
    TempDir dir;
    const std::string path = dir.file("m.db");
    std::string err;
    const std::int64_t now = 1'800'000'000;
    {
        CServerDb db;
        ASSERT_TRUE(db.Open(path, err)) << err;
        ASSERT_TRUE(db.PutRoom({5, "five", "", 1, 0, ""}, false));
        ASSERT_TRUE(db.AddGag({5, 42, 7, "刷屏", 2, now}));
        ASSERT_TRUE(db.AddKick(5, 43, 7, "广告", now + 300));
        ASSERT_TRUE(db.SetRoomMode(5, 4));
        EXPECT_FALSE(db.SetRoomMode(6, 4));  // no such room
        EXPECT_FALSE(db.SetRoomMode(5, 5));  // the table holds modes 1 to 4 only
        ASSERT_TRUE(db.LogModeration(now, 5, 7, 42, "gag", "刷屏"));
    }
    CServerDb db;
    ASSERT_TRUE(db.Open(path, err)) << err;
    EXPECT_TRUE(db.IsGagged(5, 42));
    EXPECT_FALSE(db.IsGagged(6, 42));  // per room
    EXPECT_EQ(db.KickedUntil(5, 43, now + 299), now + 300);
    EXPECT_EQ(db.KickedUntil(5, 43, now + 300), 0);
    EXPECT_EQ(db.KickedUntil(6, 43, now), 0);
    EXPECT_EQ(db.RoomById(5)->mode, 4);
    ASSERT_TRUE(db.RemoveGag(5, 42));
    EXPECT_FALSE(db.IsGagged(5, 42));
    EXPECT_EQ(db.CountRows("room_gags"), 0);

    db.Close();
    // Nobody rewrites or removes what moderators did, not even by hand.
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(raw, "UPDATE moderation_log SET detail = 'x';", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_NE(sqlite3_exec(raw, "DELETE FROM moderation_log;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM moderation_log WHERE detail = '刷屏'"), 1);
}

// --- demo data -------------------------------------------------------------

TEST(ServerSeed, SeedingTwiceChangesNothingAndKeepsEdits) {
    TempDir dir;
    CServerDb db;
    std::string err;
    ASSERT_TRUE(db.Open(dir.file("s.db"), err)) << err;
    const SeedOptions fast{kFastIterations};
    ASSERT_TRUE(SeedDemo(db, fast, err)) << err;

    std::map<std::string, std::int64_t> counts;
    for (const char* t : {"users", "rooms", "roles", "room_roles", "power_rules"})
        counts[t] = db.CountRows(t);
    EXPECT_EQ(counts["users"], static_cast<std::int64_t>(DemoUsers().size()));
    EXPECT_EQ(counts["rooms"], 2);

    ASSERT_TRUE(db.PutRoom({1001, "edited", "", 4, 0, ""}, true));
    const std::string token = db.IssueToken(10001, std::time(nullptr), 600);
    ASSERT_TRUE(SeedDemo(db, fast, err)) << err;
    for (auto& [t, n] : counts) EXPECT_EQ(db.CountRows(t), n) << t;
    EXPECT_EQ(db.RoomById(1001)->name, "edited");
    // Users are not re-created: the live token still works.
    EXPECT_EQ(db.CheckToken(10001, token, std::time(nullptr)), TokenCheck::ok);
    for (const DemoUser& u : DemoUsers()) EXPECT_EQ(db.CheckPassword(u.name, u.password), u.id);
}

TEST(ServerSeed, DemoIdTakenByHandMadeUserStillGivesRolesToTheDemoUser) {
    TempDir dir;
    CServerDb db;
    std::string err;
    ASSERT_TRUE(db.Open(dir.file("s.db"), err)) << err;
    ASSERT_TRUE(db.AddUser("zed", "z", "", 0, 10001, kFastIterations, nullptr, err));
    ASSERT_TRUE(SeedDemo(db, SeedOptions{kFastIterations}, err)) << err;
    const auto alice = db.UserByName("alice");
    ASSERT_TRUE(alice);
    EXPECT_NE(alice->id, 10001u);
    EXPECT_EQ(db.RoomRole(1001, alice->id, 0), kRoleOwner);
    EXPECT_EQ(db.RoomRole(1001, 10001, 0), kRoleGuest);  // zed gained nothing
}

TEST(ServerSeed, PowerTableIsCompleteAndSaysWhatTheRolesMayDo) {
    TempDir dir;
    CServerDb db;
    std::string err;
    ASSERT_TRUE(db.Open(dir.file("p.db"), err)) << err;
    ASSERT_TRUE(SeedDemo(db, SeedOptions{kFastIterations}, err)) << err;

    CPowerTable table;
    std::set<std::tuple<int, int>> general;
    for (const PowerRule& r : db.PowerRules()) {
        table.AddRule(r.powerId, r.role, r.yesNo, r.byRole);
        if (r.byRole == 0) general.insert({r.powerId, r.role});
    }
    const std::uint16_t checked[] = {
        power_id::kick, power_id::gag, power_id::long_grant, power_id::set_power,
        power_id::room_mode_2, power_id::room_mode_1, power_id::room_mode_3,
        power_id::mic_in_mode_2, power_id::mic_in_mode_1, power_id::open_mic,
        power_id::room_settings, power_id::room_settings_2, power_id::room_settings_3,
        power_id::chat, power_id::chat_picture, power_id::mic_in_mode_4};
    for (const RoleRecord& role : db.Roles()) {
        EXPECT_FALSE(role.name.empty());
        EXPECT_EQ(role.colour.size(), 7u);
        for (std::uint16_t p : checked)
            EXPECT_TRUE(general.count({p, role.id})) << "power " << p << " role " << int(role.id);
    }
    EXPECT_EQ(db.Roles().size(), 4u);

    // Who may do what, as a user of the room would notice it.
    EXPECT_TRUE(table.HasPowerOver(kRoleOwner, kRoleGuest, power_id::kick));
    EXPECT_FALSE(table.HasPowerOver(kRoleOwner, kRoleOwner, power_id::kick));
    EXPECT_TRUE(table.HasPowerOver(kRoleManager, kRoleAnchor, power_id::kick));
    EXPECT_FALSE(table.HasPowerOver(kRoleManager, kRoleManager, power_id::gag));
    EXPECT_FALSE(table.HasPowerOver(kRoleManager, kRoleOwner, power_id::kick));
    EXPECT_TRUE(table.HasPowerOver(kRoleAnchor, kRoleGuest, power_id::gag));
    EXPECT_FALSE(table.HasPowerOver(kRoleAnchor, kRoleManager, power_id::gag));
    EXPECT_FALSE(table.HasPowerOver(kRoleAnchor, kRoleGuest, power_id::kick));
    EXPECT_TRUE(table.HasPowerOver(kRoleManager, kRoleGuest, power_id::set_power));
    EXPECT_FALSE(table.HasPowerOver(kRoleManager, kRoleManager, power_id::set_power));
    EXPECT_FALSE(table.HasPowerOver(kRoleGuest, kRoleGuest, power_id::gag));
    EXPECT_TRUE(table.HasPower(kRoleGuest, power_id::chat));
    EXPECT_FALSE(table.HasPower(kRoleGuest, power_id::chat_picture));
    EXPECT_FALSE(table.HasPower(kRoleGuest, power_id::room_mode_1));
    EXPECT_TRUE(table.HasPower(kRoleManager, power_id::room_mode_2));
    EXPECT_TRUE(table.HasPower(kRoleAnchor, power_id::mic_in_mode_2));
    EXPECT_FALSE(table.HasPower(kRoleGuest, power_id::mic_in_mode_2));
    EXPECT_TRUE(table.HasPower(kRoleManager, power_id::long_grant));
    EXPECT_FALSE(table.HasPower(kRoleAnchor, power_id::long_grant));

    // The demo rooms' roles.
    EXPECT_EQ(db.RoomRole(1001, 10001, 0), kRoleOwner);
    EXPECT_EQ(db.RoomRole(1001, 10002, 0), kRoleManager);
    EXPECT_EQ(db.RoomRole(1001, 10003, 0), kRoleAnchor);
    EXPECT_EQ(db.RoomRole(1001, 10004, 0), kRoleGuest);
    EXPECT_EQ(db.RoomRole(1002, 10002, 0), kRoleOwner);
}

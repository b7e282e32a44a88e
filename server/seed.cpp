#include "server/seed.h"

#include <map>

#include "net/power.h"

namespace server {

const std::vector<DemoUser>& DemoUsers() {
    static const std::vector<DemoUser> users = {
        {10001, "alice", "alice-demo", "爱丽丝", 1},
        {10002, "bob", "bob-demo", "鲍勃", 0},
        {10003, "carol", "carol-demo", "卡萝", 1},
        {10004, "dave", "dave-demo", "大卫", 0},
        {10005, "erin", "erin-demo", "艾琳", 1},
    };
    return users;
}

const std::vector<RoomRecord>& DemoRooms() {
    static const std::vector<RoomRecord> rooms = {
        {1001, "zeri 大厅", "欢迎来到 zeri 大厅！请文明聊天。", 1, 0, "", 300, "",
         "自由麦，随便聊聊"},
        {1002, "音乐台", "主播时间：每晚八点。", 2, 3, "", 300, "", "每晚八点，主播唱歌"},
    };
    return rooms;
}

const std::vector<RoleRecord>& DemoRoles() {
    static const std::vector<RoleRecord> roles = {
        {kRoleOwner, "房主", "#E53935"},
        {kRoleManager, "管理员", "#1E88E5"},
        {kRoleAnchor, "主播", "#8E24AA"},
        {kRoleGuest, "游客", "#757575"},
    };
    return roles;
}

std::vector<PowerRule> DemoPowerTable() {
    using namespace power_id;
    // General rules, columns: owner, manager, anchor, guest.
    struct Row {
        std::uint16_t power;
        std::int8_t owner, manager, anchor, guest;
    };
    static const Row general[] = {
        {kick, 1, 1, 0, 0},
        {gag, 1, 1, 0, 0},
        {long_grant, 1, 1, 0, 0},  // owners and managers are made for good
        {set_power, 1, 0, 0, 0},   // managers only over the roles listed below
        {room_mode_2, 1, 1, 0, 0},
        {room_mode_1, 1, 1, 0, 0},
        {room_mode_3, 1, 1, 0, 0},
        {mic_in_mode_2, 1, 1, 1, 0},
        {mic_in_mode_1, 1, 1, 1, 1},
        {open_mic, 1, 1, 1, 1},
        {room_settings, 1, 1, 0, 0},
        {room_settings_2, 1, 1, 0, 0},
        {room_settings_3, 1, 0, 0, 0},
        {chat, 1, 1, 1, 1},
        {chat_picture, 1, 1, 1, 0},
        {mic_in_mode_4, 1, 1, 1, 1},
        {kPowerManageMic, 1, 1, 0, 0},
    };
    std::vector<PowerRule> out;
    for (const Row& r : general) {
        out.push_back({r.power, kRoleOwner, 0, r.owner});
        out.push_back({r.power, kRoleManager, 0, r.manager});
        out.push_back({r.power, kRoleAnchor, 0, r.anchor});
        out.push_back({r.power, kRoleGuest, 0, r.guest});
    }
    // Over other users: nobody acts on an owner; managers leave each other
    // alone; an anchor may gag guests; managers appoint and dismiss anchors.
    for (std::uint16_t p : {kick, gag, set_power}) out.push_back({p, kRoleOwner, kRoleOwner, 0});
    for (std::uint16_t p : {kick, gag}) {
        out.push_back({p, kRoleManager, kRoleOwner, 0});
        out.push_back({p, kRoleManager, kRoleManager, 0});
    }
    out.push_back({gag, kRoleAnchor, kRoleGuest, 1});
    out.push_back({set_power, kRoleManager, kRoleAnchor, 1});
    out.push_back({set_power, kRoleManager, kRoleGuest, 1});
    return out;
}

bool SeedDemo(CServerDb& db, const SeedOptions& options, std::string& error) {
    const bool ok = db.InTransaction([&] {
        for (const RoleRecord& r : DemoRoles())
            if (!db.PutRole(r, false)) return error = "role: " + db.lastError(), false;
        for (const PowerRule& r : DemoPowerTable())
            if (!db.PutPowerRule(r, false)) return error = "power rule: " + db.lastError(), false;
        for (const RoomRecord& r : DemoRooms())
            if (!db.PutRoom(r, false)) return error = "room: " + db.lastError(), false;

        std::map<std::string, std::uint32_t> ids;
        for (const DemoUser& u : DemoUsers()) {
            if (auto have = db.UserByName(u.name)) {
                ids[u.name] = have->id;
                continue;
            }
            std::uint32_t id = 0;
            std::string why;
            // The wanted id may already belong to a user created by hand.
            if (!db.AddUser(u.name, u.password, u.nickname, u.sex, u.id, options.iterations, &id,
                            why) &&
                !db.AddUser(u.name, u.password, u.nickname, u.sex, 0, options.iterations, &id,
                            why))
                return error = std::string("user ") + u.name + ": " + why, false;
            ids[u.name] = id;
        }
        struct Grant {
            std::uint32_t room;
            const char* user;
            std::uint8_t role;
        };
        static const Grant grants[] = {
            {1001, "alice", kRoleOwner},  {1001, "bob", kRoleManager},
            {1001, "carol", kRoleAnchor}, {1002, "bob", kRoleOwner},
            {1002, "carol", kRoleAnchor},
        };
        for (const Grant& g : grants)
            if (!db.SetRoomRole(g.room, ids[g.user], g.role, 0, false))
                return error = "room role: " + db.lastError(), false;
        return true;
    });
    if (!ok && error.empty()) error = db.lastError().empty() ? "seed failed" : db.lastError();
    return ok;
}

}  // namespace server

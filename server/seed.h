#pragma once
// Demo data for a fresh checkout: a handful of users with known passwords,
// two rooms, the roles with their names and colours, and a complete power
// table for those roles. Seeding is idempotent: rows that already exist are
// left as they are (an edited room or role is not reset), so it can run at
// every start.

#include <cstdint>
#include <string>
#include <vector>

#include "server/database.h"
#include "server/password.h"

namespace server {

struct DemoUser {
    std::uint32_t id;
    const char* name;
    const char* password;
    const char* nickname;
    std::uint8_t sex;
};

// The demo accounts (README "Demo accounts" lists the same).
const std::vector<DemoUser>& DemoUsers();
const std::vector<RoomRecord>& DemoRooms();
const std::vector<RoleRecord>& DemoRoles();
// Every (power, role) pair of the powers the client checks has a general
// rule; the powers used over another user add rules per target role.
std::vector<PowerRule> DemoPowerTable();

struct SeedOptions {
    std::uint32_t iterations = kPbkdf2Iterations;  // tests lower it
};

// One transaction: all of it or nothing.
bool SeedDemo(CServerDb& db, const SeedOptions& options, std::string& error);

}  // namespace server

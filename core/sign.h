#pragma once
// The anchor clock-in cycle record, "sign.dat" in the user's folder:
// 24 bytes, little-endian: cycle start (int64, seconds since 1970), last
// sign-in (int64, 0 until the first sign-in of the cycle), cycle value
// (int32), four zero bytes.

#include <cstdint>
#include <ctime>

struct SignRecord {
    std::int64_t cycleStart = 0;
    std::int64_t lastSignIn = 0;
    std::int32_t value = 0;
};

// signIn = false starts a new cycle (start := now, value, last := 0).
// signIn = true records a sign-in in the current cycle; without an existing
// record nothing is written. Returns whether the record was written.
bool SaveSign(std::uint32_t userId, std::int32_t value, bool signIn,
              std::time_t now = std::time(nullptr));

// A missing or short file reads as all zeros.
SignRecord LoadSign(std::uint32_t userId);

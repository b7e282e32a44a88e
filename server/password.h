#pragma once
// Password hashes and session tokens. Passwords are kept only as salted
// PBKDF2-HMAC-SHA256 digests; tokens are random and kept only as their
// SHA-256, so a copy of the database lets nobody sign in or reuse a session.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// Current work factor for new hashes. Each row stores its own count, so
// raising this later leaves older hashes verifiable.
inline constexpr std::uint32_t kPbkdf2Iterations = 600000;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kHashBytes = 32;
// Tokens travel in a login field the client keeps to 127 characters.
inline constexpr std::size_t kMaxTokenLength = 127;

struct PasswordHash {
    std::vector<unsigned char> salt;
    std::vector<unsigned char> hash;
    std::uint32_t iterations = 0;
};

// A new salt from the system's random source; false if it cannot be had.
bool HashPassword(std::string_view password, std::uint32_t iterations, PasswordHash& out);
// Recomputes with the stored salt and count; compares in constant time.
// False for a malformed record (no salt, wrong hash size, zero iterations).
bool VerifyPassword(std::string_view password, const PasswordHash& stored);

// 32 random bytes as 64 lower-case hex digits; empty if no randomness.
std::string NewToken();
// SHA-256 of the token as 64 lower-case hex digits.
std::string TokenDigest(std::string_view token);
// Constant-time comparison of two equal-length texts (false otherwise).
bool SameSecret(std::string_view a, std::string_view b);

// Derivation rounds done by this process so far: what a sign-in costs,
// counted rather than timed (tests).
std::uint64_t PasswordIterationsDone();

std::string ToHex(const unsigned char* bytes, std::size_t n);

}  // namespace server

#include "server/password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <atomic>
#include <climits>

namespace server {

std::string ToHex(const unsigned char* bytes, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

namespace {

std::atomic<std::uint64_t> g_iterationsDone{0};

bool Derive(std::string_view password, const std::vector<unsigned char>& salt,
            std::uint32_t iterations, unsigned char* out) {
    if (salt.empty() || iterations == 0 || iterations > INT_MAX ||
        password.size() > INT_MAX || salt.size() > INT_MAX)
        return false;
    g_iterationsDone += iterations;
    return PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                             static_cast<int>(salt.size()), static_cast<int>(iterations),
                             EVP_sha256(), static_cast<int>(kHashBytes), out) == 1;
}

}  // namespace

std::uint64_t PasswordIterationsDone() { return g_iterationsDone; }

bool HashPassword(std::string_view password, std::uint32_t iterations, PasswordHash& out) {
    out.salt.assign(kSaltBytes, 0);
    out.hash.assign(kHashBytes, 0);
    out.iterations = iterations;
    if (RAND_bytes(out.salt.data(), static_cast<int>(out.salt.size())) != 1) return false;
    return Derive(password, out.salt, iterations, out.hash.data());
}

bool VerifyPassword(std::string_view password, const PasswordHash& stored) {
    if (stored.hash.size() != kHashBytes) return false;
    unsigned char computed[kHashBytes];
    if (!Derive(password, stored.salt, stored.iterations, computed)) return false;
    return CRYPTO_memcmp(computed, stored.hash.data(), kHashBytes) == 0;
}

std::string NewToken() {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return {};
    return ToHex(bytes, sizeof bytes);
}

std::string TokenDigest(std::string_view token) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), digest);
    return ToHex(digest, sizeof digest);
}

bool SameSecret(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace server

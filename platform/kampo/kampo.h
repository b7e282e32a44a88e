#pragma once
// Service answer encryption shared by zeri-server and the client: AES-128-GCM
// under the application key (32 hexadecimal characters), laid out as
// 12-byte nonce ‖ ciphertext ‖ 16-byte tag. A flipped byte anywhere fails
// the tag and the whole answer is refused.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr const char* kKampoAppKey = "5C2A9E13D7B04F68A1E3C9D2074B6F85";
inline constexpr std::size_t kKampoNonce = 12;
inline constexpr std::size_t kKampoTag = 16;
inline constexpr std::size_t kKampoOverhead = kKampoNonce + kKampoTag;

// Decrypts `length` bytes in place: the plaintext starts at `bytes`.
// Returns its length, or -1 for an unknown kind (only 1), a malformed key,
// a short input or a failed tag (the bytes are then garbage).
int kampo_decrypt(int kind, const char* key, unsigned char* bytes, int length);

// The server's side: nonce ‖ ciphertext ‖ tag with a fresh random nonce.
// Empty on a malformed key or a failure of the crypto library.
std::string kampo_encrypt(const char* key, std::string_view plain);

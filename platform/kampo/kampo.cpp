#include "platform/kampo/kampo.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <cstring>
#include <memory>

namespace {

using Key = std::array<unsigned char, 16>;

bool ParseKey(const char* text, Key& out) {
    if (!text || std::strlen(text) != 32) return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = nibble(text[2 * i]), lo = nibble(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    return true;
}

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Ctx = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

}  // namespace

int kampo_decrypt(int kind, const char* key, unsigned char* bytes, int length) {
    Key k{};
    if (kind != 1 || !ParseKey(key, k) || !bytes || length < static_cast<int>(kKampoOverhead))
        return -1;
    const int cipherLen = length - static_cast<int>(kKampoOverhead);
    const unsigned char* nonce = bytes;
    unsigned char* cipher = bytes + kKampoNonce;
    unsigned char tag[kKampoTag];
    std::memcpy(tag, cipher + cipherLen, kKampoTag);

    Ctx ctx(EVP_CIPHER_CTX_new());
    int n = 0, total = 0;
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kKampoNonce, nullptr) != 1 ||
        EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, k.data(), nonce) != 1)
        return -1;
    // GCM is a stream mode: the plaintext is as long as the ciphertext and
    // may be written over the front of the buffer as it is produced.
    if (cipherLen > 0 && EVP_DecryptUpdate(ctx.get(), bytes, &n, cipher, cipherLen) != 1) return -1;
    total = n;
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kKampoTag, tag) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), bytes + total, &n) != 1)
        return -1;
    return total + n;
}

std::string kampo_encrypt(const char* key, std::string_view plain) {
    Key k{};
    if (!ParseKey(key, k) || plain.size() > (1u << 30)) return {};
    std::string out(kKampoNonce + plain.size() + kKampoTag, '\0');
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    if (RAND_bytes(o, kKampoNonce) != 1) return {};
    Ctx ctx(EVP_CIPHER_CTX_new());
    int n = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kKampoNonce, nullptr) != 1 ||
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, k.data(), o) != 1)
        return {};
    if (!plain.empty() &&
        EVP_EncryptUpdate(ctx.get(), o + kKampoNonce, &n,
                          reinterpret_cast<const unsigned char*>(plain.data()),
                          static_cast<int>(plain.size())) != 1)
        return {};
    int fin = 0;
    if (EVP_EncryptFinal_ex(ctx.get(), o + kKampoNonce + n, &fin) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kKampoTag,
                            o + kKampoNonce + plain.size()) != 1)
        return {};
    return out;
}

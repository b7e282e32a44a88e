#include "room/catalogue/cached_file.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace catalogue {
namespace {

bool HexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct DigestFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

std::optional<std::string> DigestOfName(std::string_view name) {
    const std::size_t dot = name.find('.');
    const std::string_view stem = name.substr(0, dot);
    if (stem.size() != 64) return std::nullopt;
    std::string digest;
    digest.reserve(64);
    for (char c : stem) {
        if (!HexDigit(c)) return std::nullopt;
        digest.push_back(c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return digest;
}

std::optional<std::string> FileDigest(const std::string& path) {
    std::unique_ptr<std::FILE, FileClose> f(std::fopen(path.c_str(), "rb"));
    std::unique_ptr<EVP_MD_CTX, DigestFree> ctx(EVP_MD_CTX_new());
    if (!f || !ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    unsigned char buffer[16384];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
        if (EVP_DigestUpdate(ctx.get(), buffer, n) != 1) return std::nullopt;
    if (std::ferror(f.get())) return std::nullopt;
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), md, &length) != 1) return std::nullopt;
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        hex.push_back(kHex[md[i] >> 4]);
        hex.push_back(kHex[md[i] & 15]);
    }
    return hex;
}

namespace {

bool EndsWithBmp(std::string_view name) {
    if (name.size() < 4) return false;
    std::string tail(name.substr(name.size() - 4));
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".bmp";
}

// A BMP states its own length: a cut one is found without a digest.
bool WholeBmp(const std::string& path, std::uint64_t size) {
    unsigned char head[6] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const bool read = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    const std::uint32_t declared = head[2] | (head[3] << 8) | (head[4] << 16) |
                                   (static_cast<std::uint32_t>(head[5]) << 24);
    return read && head[0] == 'B' && head[1] == 'M' && declared == size;
}

}  // namespace

bool CachedFileGood(const std::string& path, std::string_view name) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return false;
    if (EndsWithBmp(name) && !WholeBmp(path, static_cast<std::uint64_t>(st.st_size))) return false;
    const auto wanted = DigestOfName(name);
    if (!wanted) return true;
    const auto actual = FileDigest(path);
    return actual && *actual == *wanted;
}

}  // namespace catalogue

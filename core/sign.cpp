#include "core/sign.h"

#include <string>

#include "core/files.h"
#include "core/paths.h"

namespace {

constexpr std::size_t kRecordSize = 24;

std::string SignPath(std::uint32_t userId) { return paths::UserFolder(userId) + "sign.dat"; }

void PutLE(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint64_t GetLE(const std::string& in, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

bool ReadRecord(std::uint32_t userId, SignRecord& rec) {
    std::string bytes;
    if (!files::ReadFile(SignPath(userId), bytes)) return false;
    if (bytes.size() >= kRecordSize) {
        rec.cycleStart = static_cast<std::int64_t>(GetLE(bytes, 0, 8));
        rec.lastSignIn = static_cast<std::int64_t>(GetLE(bytes, 8, 8));
        rec.value = static_cast<std::int32_t>(GetLE(bytes, 16, 4));
    }
    return true;
}

}  // namespace

bool SaveSign(std::uint32_t userId, std::int32_t value, bool signIn, std::time_t now) {
    SignRecord rec;
    if (!signIn) {
        rec.cycleStart = now;
        rec.value = value;
    } else {
        if (!ReadRecord(userId, rec)) return false;
        rec.lastSignIn = now;
    }
    std::string bytes;
    PutLE(bytes, static_cast<std::uint64_t>(rec.cycleStart), 8);
    PutLE(bytes, static_cast<std::uint64_t>(rec.lastSignIn), 8);
    PutLE(bytes, static_cast<std::uint32_t>(rec.value), 4);
    PutLE(bytes, 0, 4);
    paths::MakeDirs(paths::UserFolder(userId));
    return files::WriteFileAtomic(SignPath(userId), bytes);
}

SignRecord LoadSign(std::uint32_t userId) {
    SignRecord rec;
    ReadRecord(userId, rec);
    return rec;
}

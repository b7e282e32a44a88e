#include "web/download_writer.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace web {
namespace {

bool WriteAll(int fd, const unsigned char* p, std::size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool SaveBody(ByteQueue& body, std::size_t length, const std::string& target) {
    if (target.empty() || target.back() == '/' || body.Size() != length) return false;
    std::string tmpl = target + ".part-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return false;
    bool ok = true;
    while (ok && body.Size() > 0) {
        const unsigned char* p = nullptr;
        const std::size_t piece = std::min(body.Front(&p), kWritePiece);
        ok = WriteAll(fd, p, piece);
        if (ok) body.Consume(piece);
    }
    if (ok) ok = ::fchmod(fd, 0644) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = std::rename(name.data(), target.c_str()) == 0;
    if (!ok) ::unlink(name.data());
    return ok;
}

}  // namespace web

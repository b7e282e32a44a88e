#include "core/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include <sys/syscall.h>
#include <unistd.h>

#include "core/paths.h"

namespace {

struct LogState {
    std::mutex lock;
    FILE* file = nullptr;
    std::time_t openTime = 0;
    std::string name;
    std::time_t (*now)() = nullptr;
};

// Never destroyed: threads may still log while the process exits.
LogState& State() {
    static LogState* s = new LogState;
    return *s;
}

const char* TagOf(int level) {
    switch (level) {
        case LOG_DBG: return "dbg";
        case LOG_MSG: return "msg";
        case LOG_WAN: return "wan";
        case LOG_ERR: return "err";
        case LOG_DEBUGGER: return "";
        default: return "???";
    }
}

unsigned ThreadId() { return static_cast<unsigned>(::syscall(SYS_gettid)); }

void OpenForNow(LogState& s, std::time_t now) {
    if (s.file) {
        std::fclose(s.file);
        s.file = nullptr;
    }
    const std::string folder = paths::DataFolder() + "log/";
    if (!paths::DirExists(folder)) paths::MakeDirs(folder);
    if (!paths::DirExists(folder)) return;
    s.openTime = now;
    std::tm local{};
    localtime_r(&now, &local);
    char name[4096];
    std::snprintf(name, sizeof name, "%slog_%d_%d_%d.log", folder.c_str(), local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    s.name = name;
    s.file = std::fopen(name, "ab");
}

}  // namespace

void log_write(int level, const char* text) {
    if (!text) text = "";
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    const char* tag = TagOf(level);
    // Debugger output on this platform: the bare text on standard error.
    if (level == LOG_DEBUGGER) std::fputs(text, stderr);

    const std::time_t now = s.now ? s.now() : std::time(nullptr);
    if (!s.file || s.openTime / 86400 != now / 86400) OpenForNow(s, now);
    if (s.file) {
        std::tm local{};
        localtime_r(&now, &local);
        const unsigned tid = ThreadId();
        std::fprintf(s.file, "%.2d:%.2d:%.2d %08X [%s]->%s", local.tm_hour, local.tm_min,
                     local.tm_sec, tid, tag, text);
        std::fflush(s.file);
        // The terminal gets each line once: a text's own line end and the
        // one the file adds become a single line feed.
        std::size_t n = std::strlen(text);
        while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) --n;
        std::fprintf(stderr, "%.2d:%.2d:%.2d %08X [%s]->%.*s\n", local.tm_hour, local.tm_min,
                     local.tm_sec, tid, tag, static_cast<int>(n), text);
        errno = 0;
    }
}

void log_format(int level, int errnum, const char* format, va_list args) {
    char buf[1024] = {};
    std::vsnprintf(buf, sizeof buf, format ? format : "", args);
    buf[1022] = '\0';  // at most 1022 characters, so the newline always fits
    std::size_t len = std::strlen(buf);
    buf[len++] = '\n';
    buf[len] = '\0';
    if (errnum >= 0 && len < 1021) {
        std::snprintf(buf + len, sizeof buf - len, "\t\t\t当前系统错误码: %s\r\n",
                      std::strerror(errnum));
    }
    log_write(level, buf);
}

int log_msg(const char* format, ...) {
    va_list args;
    va_start(args, format);
    log_format(LOG_MSG, -1, format, args);
    va_end(args);
    return 0;
}

int log_err(const char* format, ...) {
    const int err = errno;  // before formatting can disturb it
    va_list args;
    va_start(args, format);
    log_format(LOG_ERR, err, format, args);
    va_end(args);
    return 0;
}

int log_debug(const char* format, ...) {
    va_list args;
    va_start(args, format);
    log_format(LOG_DEBUGGER, -1, format, args);
    va_end(args);
    return 0;
}

void log_set_time_source(std::time_t (*now)()) {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.now = now;
}

void log_reset() {
    LogState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
    s.openTime = 0;
    s.name.clear();
}

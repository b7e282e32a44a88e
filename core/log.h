#pragma once
// The daily log: one thread-safe file per day under <data folder>/log/, every
// line also copied to standard error.
//
// Line: "HH:MM:SS TTTTTTTT [tag]->text" with the local time, the writing
// thread's id in eight upper-case hex digits and the level's tag. The file is
// named after the local date on which it was opened ("log_2026_12_5.log")
// and is switched when the UTC day changes.

#include <cstdarg>
#include <ctime>

enum log_level { LOG_DBG = 0, LOG_MSG = 1, LOG_WAN = 2, LOG_ERR = 3, LOG_DEBUGGER = 4 };

// Appends one line. Never fails towards the caller: a folder or file that
// cannot be opened skips the line and the next line tries again.
void log_write(int level, const char* text);

// Formats into at most 1022 characters, appends "\n" and, when errnum >= 0,
// the error label line with strerror(errnum).
void log_format(int level, int errnum, const char* format, va_list args);

int log_msg(const char* format, ...) __attribute__((format(printf, 1, 2)));
int log_err(const char* format, ...) __attribute__((format(printf, 1, 2)));
int log_debug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Test hooks: the time source the log reads (nullptr restores time()), and a
// reset that forgets the open file so the next line opens one anew.
void log_set_time_source(std::time_t (*now)());
void log_reset();

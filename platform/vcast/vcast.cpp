#include "platform/vcast/vcast.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include <cstdarg>
#include <mutex>

#include "core/log.h"

namespace {
std::mutex g_lock;
int g_users = 0;

// The media libraries' own messages go to the program's log, errors only:
// the encoder's statistics at every close and a damaged stream's complaints
// would otherwise fill standard error.
void OnLibraryMessage(void* object, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    char line[512];
    int prefix = 1;
    av_log_format_line2(object, level, format, args, line, sizeof line, &prefix);
    log_err("vcast: %s", line);
}
}  // namespace

int VCAST_Init() {
    std::lock_guard<std::mutex> g(g_lock);
    if (g_users++ > 0) return 1;
    av_log_set_callback(&OnLibraryMessage);
    avdevice_register_all();
    const int rc = avformat_network_init();
    if (rc < 0) log_msg("VCAST_Init network layer fail=%d\r\n", rc);
    return 1;
}

void VCAST_Release() {
    std::lock_guard<std::mutex> g(g_lock);
    if (g_users == 0 || --g_users > 0) return;
    avformat_network_deinit();
}

int VCAST_InputDeviceCount() {
    std::lock_guard<std::mutex> g(g_lock);
    if (g_users == 0) return 0;
    int n = 0;
    for (const AVInputFormat* f = av_input_video_device_next(nullptr); f;
         f = av_input_video_device_next(f))
        ++n;
    for (const AVInputFormat* f = av_input_audio_device_next(nullptr); f;
         f = av_input_audio_device_next(f))
        ++n;
    return n;
}

#pragma once
// Loopback capture: what the system plays, recorded from the monitor of the
// PulseAudio server's default sink, 16-bit PCM (44100 Hz stereo unless the
// server gives another format; Open says which). The server is the one set
// by TAPOUT_SetServer, else $PULSE_SERVER, else the default.
//
// The callback runs on the capture's own thread (the pulse mainloop) with
// whole frames; once TAPOUT_Close returns it runs no more. A handle is used
// from one thread at a time, never from inside its own callback; a null
// handle is refused by every call.

struct tapout_t;

typedef void (*tapout_callback)(const void* data, int length, void* context);

// A handle for `callback`, or null when out of memory.
tapout_t* TAPOUT_Init(tapout_callback callback, void* context);
// Starts recording; 0 on success, else a wavedev::Result code (6: no sound
// server, 2: no such device or no default sink). `device` must be 0.
int TAPOUT_Open(tapout_t* handle, int device, int* rate, int* channels, int* bits);
// Stops recording; 0, or nonzero when nothing was open. Idempotent.
int TAPOUT_Close(tapout_t* handle);
// Closes and frees the handle.
void TAPOUT_Release(tapout_t* handle);
// The server later Opens connect to ("unix:/path/native", …); null or
// empty: $PULSE_SERVER or the default.
void TAPOUT_SetServer(const char* server);

#pragma once
// The client's life: start-up in a fixed order (each step only after the one
// before), sign-in, the event loop, teardown in reverse. main() runs it with
// the default ports; tests run it in-process against a server on free ports.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/patron_account.h"
#include "app/room_host.h"
#include "core/app_context.h"
#include "core/options.h"
#include "net/room_link.h"
#include "app/room_stack.h"

struct ClientPorts {
    std::uint16_t relay = 6666;
    std::uint16_t account = 8080;
    // Chat picture upload and download (kitlib kind 0): served with the other
    // HTTP services on one port.
    std::uint16_t pictures = 8080;
    std::uint16_t services = 8080;  // power list and other "m=LB" requests (kind 1)
    std::uint16_t catalogue = 8000;  // gift, car, VIP and pack catalogues
    std::uint16_t checkin = 5000;    // clock-in, sign-in and room backgrounds
};

// The process's exit status, which scripts rely on (README "Exit status").
namespace client_exit {
inline constexpr int ok = 0;
inline constexpr int usage = 2;                // bad flags
inline constexpr int sign_in_refused = 3;      // wrong password, no such user, not signed in
inline constexpr int account_unreachable = 4;  // the account service did not answer
inline constexpr int room_refused = 5;         // --room does not exist or refused entry (headless)
inline constexpr int data_folder = 6;          // the data folder cannot be made or used
}  // namespace client_exit

struct ClientIo {
    FILE* out = stdout;  // what the headless view prints
    FILE* err = stderr;  // message boxes without windows
    int in = 0;          // lines typed here are chat (headless); -1 = none
    bool stopOnSignals = false;  // SIGINT/SIGTERM run the exit path (main only)
};

// The room window over the connection library and the account library:
// the Qt room window, or the headless view (printing to `out`).
class CRoomWindow {
public:
    CRoomWindow(PATRON_HANDLE h, FILE* out, CRoomStack::Mode mode);
    CProxyLink link;
    CPatronAccount account;
    CRoomStack stack;
};

// Connect, callback, login, the room window and its start: client_exit::ok,
// or account_unreachable (after the notice and the log line) or
// sign_in_refused, and `window` then stays empty.
// With `voice`, the room gets its voice path on those devices.
// `signedIn` runs once the account is signed in, before any room connection
// is made (the sign-in window may have chosen another server).
int signIn(AppContext& ctx, FILE* out, CRoomStack::Mode mode, std::unique_ptr<CRoomWindow>& window,
            const CVoiceSet::Options* voice = nullptr, const std::function<void()>& signedIn = {});

// Returns the process's exit code.
int RunClient(int argc, char** argv, const ClientOptions& options, const ClientPorts& ports = {},
              const ClientIo& io = {});

#include "core/message.h"

#include <atomic>

namespace {
std::atomic<IMessageRouter*> g_router{nullptr};
}

void SetMessageRouter(IMessageRouter* router) { g_router.store(router, std::memory_order_release); }

bool PostMessage(HWND target, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                 std::unique_ptr<CMessageData> data) {
    IMessageRouter* r = g_router.load(std::memory_order_acquire);
    if (!r || target == 0) return false;
    WindowMessage m{msg, wParam, lParam, nullptr};
    return r->Post(target, m, std::move(data));
}

std::intptr_t SendMessage(HWND target, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                          CMessageData* data) {
    IMessageRouter* r = g_router.load(std::memory_order_acquire);
    if (!r || target == 0) return 0;
    return r->Send(target, WindowMessage{msg, wParam, lParam, data});
}

bool IsWindow(HWND target) {
    IMessageRouter* r = g_router.load(std::memory_order_acquire);
    return r && target != 0 && r->IsWindow(target);
}

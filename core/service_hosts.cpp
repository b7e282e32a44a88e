#include "core/service_hosts.h"

#include <mutex>

namespace {

std::mutex g_lock;
ServiceHosts g_hosts;

}  // namespace

void SetServiceHosts(const ServiceHosts& hosts) {
    std::lock_guard<std::mutex> g(g_lock);
    g_hosts = hosts;
}

ServiceHosts GetServiceHosts() {
    std::lock_guard<std::mutex> g(g_lock);
    return g_hosts;
}

#include "server/memory_trim.h"

#include <malloc.h>

#include "core/log.h"

namespace server {

CMemoryTrim::CMemoryTrim(std::function<void()> trim) : trim_(std::move(trim)) {
    if (!trim_) trim_ = [] { malloc_trim(0); };
}

bool CMemoryTrim::OnTick(std::uint64_t ended) {
    const std::uint64_t before = last_;
    last_ = ended;
    if (ended != before || ended - atTrim_ < kMinEnded) return false;
    log_msg("zeri-server: %llu sessions ended: returning free memory",
            static_cast<unsigned long long>(ended - atTrim_));
    trim_();
    atTrim_ = ended;
    return true;
}

}  // namespace server

#pragma once
// Gives the heap back to the system after a crowd has gone.
//
// glibc keeps what is freed in its arenas (one per I/O thread) for the next
// allocation; after a thousand users join and leave, the process would keep
// its peak size for good. The server asks it to return free pages once many
// sessions have ended since the last time and none ended in the last tick
// (what the leavers held is freed a moment after they are counted out): a
// burst may begin and end between two ticks, so ends are counted, not the
// live sessions. Rarely, and never while a crowd is still leaving.

#include <cstdint>
#include <functional>

namespace server {

class CMemoryTrim {
public:
    // Sessions ended before a trim is worth its walk of the heap.
    static constexpr std::uint64_t kMinEnded = 64;

    // `trim` returns free memory to the system; by default malloc_trim(0).
    explicit CMemoryTrim(std::function<void()> trim = {});

    // Called about once a second with the number of sessions ended so far.
    // True when it trimmed.
    bool OnTick(std::uint64_t ended);

private:
    std::function<void()> trim_;
    std::uint64_t atTrim_ = 0;  // ended at the last trim
    std::uint64_t last_ = 0;    // ended at the tick before
};

}  // namespace server

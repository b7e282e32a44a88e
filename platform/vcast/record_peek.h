#pragma once
// What tests and diagnostics may see of a recorder beyond the library's
// calls: its queue and what it lost, and a hold on its thread (a test
// stands for a slow encoder or disk with it).

#include <cstddef>
#include <cstdint>

#include "platform/vcast/vcast.h"

struct VcastRecordCounts {
    std::size_t queued = 0;          // items waiting for the recorder's thread
    std::size_t queuedBytes = 0;
    std::uint64_t videoDropped = 0;  // by the queue's overflow rule
    std::uint64_t audioDropped = 0;
    std::uint64_t undecodable = 0;   // taken, but the thread's decoder refused them
};

// False for a handle that is not open.
bool VcastRecordPeek(vcast_record_t* record, VcastRecordCounts& counts);
// While held, the recorder's thread takes nothing more from its queue (an
// item it is working on is finished). VCAST_RecordClose lifts the hold.
void VcastRecordHold(vcast_record_t* record, bool hold);

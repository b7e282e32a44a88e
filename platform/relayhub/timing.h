#pragma once
// Heartbeat and reconnect timing of connections made from now on (tests and
// tools shorten them; the program keeps the defaults).

#include "platform/relayhub/connection.h"

namespace relay {
void SetTiming(const Timing& t);
}
